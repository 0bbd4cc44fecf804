// A failure that the database engine reported, with its own description.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"

namespace kadrum {

// Removes every character from U+0000 to U+0020 and every "." from the end
// of an engine's description, repeatedly.
std::string trim_description(std::string_view description);

// "german (engine_text)": Kadrum's description of a failure with the
// engine's own words after it. "engine_text" is trimmed first.
std::string described(std::string_view german, std::string_view engine_text);

// The message is the engine's description after trim_description; when that
// leaves nothing, "fallback" (a German text naming the failure) stands instead.
class ProviderError : public Error {
 public:
  explicit ProviderError(std::string_view description,
                         std::string_view fallback = "Unbekannter Datenbankfehler");
};

}  // namespace kadrum
