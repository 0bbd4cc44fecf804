// Fuzzes the one-statement check of every dialect (db/sql_scan.h) and the
// PostgreSQL table-name forms: the check may only refuse with
// kadrum::Error, accepts every text with a statement and no ";", keeps
// accepting when a ";" or a blank is added and keeps refusing a second
// statement when text follows, and no text in a quoted identifier ever
// makes a second statement. The marker scan keeps every byte outside its
// markers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/messages.h"
#include "db/identifier.h"
#include "db/parameter_markers.h"
#include "db/postgresql/table.h"
#include "fuzz_check.h"

namespace {

using kadrum::fuzz::require;

// The message of the refusal; empty when accepted.
std::string refusal(std::string_view sql, const kadrum::SqlDialect& dialect) {
  try {
    kadrum::check_single_statement(sql, dialect);
  } catch (const kadrum::Error& error) {
    return error.what();
  }
  return {};
}

void check_dialect(const std::string& text, const kadrum::SqlDialect& dialect, char quote) {
  using namespace kadrum;
  const std::string refused = refusal(text, dialect);
  if (text.find(';') == std::string::npos)
    require(refused.empty() || refused == messages::no_statement, "refuses a text without ';'",
            text);
  if (refused.empty()) {
    // " ;": MySQL reads "--" at the end as a comment, but "--;" as no comment.
    require(refusal(text + " ;", dialect).empty() && refusal(text + " ", dialect).empty(),
            "refuses after a trailing ';' or blank", text);
  } else if (refused == messages::second_statement) {
    // What decided the refusal lies before the end: nothing added undoes it
    // (but "-" or "*" could finish a comment opener that ends the text).
    for (const char* tail : {"'", "\"", "$$", "\n", ";"})
      require(!refusal(text + tail, dialect).empty(), "a suffix undoes a refusal", text);
  }
  require(refusal("SELECT * FROM " + quote_identifier(text, quote), dialect).empty(),
          "a quoted identifier carries a second statement", text);
  const MarkedStatement marked = scan_parameter_markers(text, dialect);
  require(marked.text.size() <= text.size() + marked.names.size(), "the marker scan adds text",
          text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  check_dialect(text, kadrum::sqlite_sql, '"');
  check_dialect(text, kadrum::postgresql_sql, '"');
  check_dialect(text, kadrum::mysql_sql, '`');
  check_dialect(text, kadrum::standard_sql, '"');
  check_dialect(text, kadrum::microsoft_sql, '"');

  using kadrum::postgresql::open_form;
  using kadrum::quote_identifier;
  if (text.empty() || text.find_first_of(" ") == std::string::npos) {
    require(open_form(text) == text, "changes a name without a blank", text);
  } else if (text.find_first_of(".;") == std::string::npos && text[0] != '[' &&
             text[0] != '"') {
    require(open_form(text) == quote_identifier(text),
            "a name with a blank is not one quoted identifier", text);
  }
  return 0;
}
