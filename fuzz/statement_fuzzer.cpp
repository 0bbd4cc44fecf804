// Fuzzes the PostgreSQL engine's one-statement check and table-name forms
// (db/postgresql/statement.h): the check may only refuse with
// kadrum::Error, refuses nothing without a ";", keeps accepting when a ";"
// or a blank is added and keeps refusing when text follows, and no text in a
// quoted identifier ever makes a second statement.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"
#include "db/postgresql/statement.h"
#include "fuzz_check.h"

namespace {

using kadrum::fuzz::require;

bool accepted(std::string_view sql) {
  try {
    kadrum::postgresql::check_single_statement(sql);
  } catch (const kadrum::Error&) {
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const bool ok = accepted(text);
  if (text.find(';') == std::string::npos) require(ok, "refuses a text without ';'", text);
  if (ok) {
    require(accepted(text + ";") && accepted(text + " "),
            "refuses after a trailing ';' or blank", text);
  } else {
    // What decided the refusal lies before the end: nothing added undoes it
    // (but "-" or "*" could finish a comment opener that ends the text).
    for (const char* tail : {"'", "\"", "$$", "\n", ";"})
      require(!accepted(text + tail), "a suffix undoes a refusal", text);
  }

  using kadrum::postgresql::open_form;
  using kadrum::quote_identifier;
  require(accepted("SELECT * FROM " + quote_identifier(text)),
          "a quoted identifier carries a second statement", text);
  if (text.empty() || text.find_first_of(" ") == std::string::npos) {
    require(open_form(text) == text, "changes a name without a blank", text);
  } else if (text.find_first_of(".;") == std::string::npos && text[0] != '[' &&
             text[0] != '"') {
    require(open_form(text) == quote_identifier(text),
            "a name with a blank is not one quoted identifier", text);
  }
  return 0;
}
