// A failure that the database engine reported, with its own description.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

namespace kadrum {

// Removes every character from U+0000 to U+0020 and every "." from the end
// of an engine's description, repeatedly.
std::string trim_description(std::string_view description);

// The message is the engine's description after trim_description; when that
// leaves nothing, "fallback" (a German text naming the failure) stands instead.
class ProviderError : public Error {
 public:
  ProviderError(std::string_view description, int engine_code,
                std::string_view fallback = "Unbekannter Datenbankfehler");
  int engine_code() const { return engine_code_; }

 private:
  int engine_code_;
};

}  // namespace kadrum
