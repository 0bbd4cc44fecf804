// Which engine a data source names, told by its form alone.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

enum class EngineKind { sqlite, postgresql, odbc };

struct DataSourceForm {
  EngineKind engine = EngineKind::sqlite;
  std::string text;  // as the engine takes it: a URI's scheme in lower case
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
DataSourceForm data_source_form(std::string_view source);

// "source" as any message shows it, whatever engine it would select or
// none: a URI's password (what stands between the first ":" after the
// scheme and the last "@"), and the value of every "PWD=" or "Password="
// setting (any case, a braced value whole), are "***"; of a source that
// begins with "odbc:" after blanks, all after the colon is.
std::string shown_data_source(std::string_view source);

}  // namespace kadrum
