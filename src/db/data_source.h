// The data source: which engine it names, told by its form alone, what
// that engine is given, and how messages show it. Every password masking
// and every reading of an ODBC connection string is here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrum {

enum class EngineKind { sqlite, postgresql, odbc };

// A data source read once, where it enters (the connection string of
// "db connect", the path of --create), and handed on as it is.
struct DataSource {
  EngineKind engine = EngineKind::sqlite;
  // What the engine is given: a file's path as typed, a URI with its scheme
  // in lower case, an ODBC connection string without its "odbc:".
  std::string text;
  std::string shown;  // the source as typed, as shown_data_source shows it
};

// The engine that "source" selects: "postgresql://" and "postgres://", in
// any case, select PostgreSQL, and "odbc:", in any case, an ODBC connection
// string (given to the engine as it stands); a source that, after any leading blanks,
// begins with a scheme (two or more letters, digits, "+", "-" or ".") and a
// colon followed by "//" or by an "@" before the first "/", or with a known
// scheme written otherwise, is refused: it is no file path, and taking it
// as one would create a file of that name and show its password. Anything
// else (a drive letter, "file:", a path beginning with a blank) is the path
// of a SQLite file. Throws ProviderError for a refused source, its password
// (what stands between the first ":" after the scheme and the last "@")
// shown as "***" as shown_data_source shows it.
DataSource read_data_source(std::string_view source);

// The data source of Kadrum's connection string (its "Data Source", without
// the blank build_connection_string puts after it), read as
// read_data_source reads it; throws as that does.
DataSource connection_data_source(std::string_view connection_string);

// "source" as any message shows it, whatever engine it would select or
// none: a URI's password (what stands between the first ":" after the
// scheme and the last "@"), and the value of every "PWD=" or "Password="
// setting (any case, a braced value whole), are "***"; of a source that
// begins with "odbc:" after blanks, all after the colon is.
std::string shown_data_source(std::string_view source);

// One "key=value" part of an ODBC connection string.
struct OdbcSetting {
  std::string_view part;  // as written, without its ";"
  std::string key;        // in lower case, without the blanks around it
  // Unbraced ("{a}}b}" is "a}b"); an unbraced value without the blanks and
  // tabs around it, as drivers read it ("Database= lead" names "lead").
  std::string value;
  std::string_view braced;  // a braced value as written, braces included; else empty
};

// The parts of an ODBC connection string in order, split at every ";" but
// one inside a value in braces ("}}" is a "}" inside it). A part without
// "=" has an empty key. Never throws but for memory.
std::vector<OdbcSetting> odbc_settings(std::string_view connection_string);
// The value of the first setting "key" (lower case), or nothing.
std::optional<std::string> odbc_setting(std::string_view connection_string, std::string_view key);

// The passwords ("PWD=", "Password=", any case, braced or not, the braced
// form as written too) that an ODBC connection string holds.
std::vector<std::string> odbc_passwords(std::string_view connection_string);
// The passwords a PostgreSQL URI may carry, in its user part or as a
// password parameter, each in every form password_forms gives.
std::vector<std::string> uri_passwords(std::string_view uri);
// Adds "password", its percent-decoded form and its pieces between URI
// delimiters to "found": a password with an unencoded "/" or "@" is read by
// libpq partly as a host, port or database name, which its messages then
// quote. Adds nothing for an empty one.
void add_password_forms(std::vector<std::string>& found, std::string_view password);

// "text" with every one of "secrets" replaced by "***", the longest first so
// that a shorter one never hides part of a longer. Never throws but for
// memory.
std::string masked(std::string_view text, const std::vector<std::string>& secrets);
// As masked, but only where a secret stands apart, not inside a longer
// word: a password "p" must not make "option" read "o***tion".
std::string masked_apart(std::string_view text, const std::vector<std::string>& secrets);

}  // namespace kadrum
