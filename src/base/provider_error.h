// A failure that the database engine reported, with its own description.
#pragma once

#include <cstdint>
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

// A database failure in up to three voices, kept apart until shown:
// Kadrum's German description, the engine's own text and the engine's code
// (an SQLSTATE, or SQLite's result code). The message joins them as
// described() does; the code is never part of it.
class ProviderError : public Error {
 public:
  // One text, German or the engine's: the message is "description" after
  // trim_description; when that leaves nothing, "fallback" (a German text
  // naming the failure) stands instead.
  explicit ProviderError(std::string_view description,
                         std::string_view fallback = "Unbekannter Datenbankfehler");
  // "german (engine_text)", or the engine's text alone when "german" is
  // empty.
  ProviderError(std::string_view german, std::string_view engine_text, std::string code);

  const std::string& german() const { return german_; }
  const std::string& engine_text() const { return engine_text_; }
  const std::string& code() const { return code_; }
  // The caller's tag of the record the database refused (see
  // EngineTable::insert), for a refusal found after that record was handed
  // over, when records go to the database in bulk; 0 when not known.
  std::uint64_t record() const { return record_; }
  void set_record(std::uint64_t tag) { record_ = tag; }
  // Whether the server ended the statement or the connection (a time-out,
  // a shutdown, a lost connection), whatever record was being sent: then
  // the failure is no record's, also when it surfaces while one is sent.
  bool stopped_by_server() const { return stopped_by_server_; }
  void set_stopped_by_server() { stopped_by_server_ = true; }

 private:
  std::string german_;
  std::string engine_text_;
  std::string code_;
  std::uint64_t record_ = 0;
  bool stopped_by_server_ = false;
};

}  // namespace kadrum
