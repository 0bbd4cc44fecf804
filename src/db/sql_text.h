// The statement texts every engine writes alike; each engine supplies only
// what its dialect does differently (its identifier quote, its parameter
// marker, its form of an INSERT without columns).
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/field_kind.h"
#include "convert/value.h"
#include "db/identifier.h"
#include "db/parameter_markers.h"

namespace kadrum {

// How a table name typed by the user is written in a statement: a name with
// a blank that does not begin with one of "quoted_starts" gets "quote"
// around its part after the first "." (or the whole name), up to the first
// ";" after it: "my data" gives [my data] with brackets, "a.b c" gives
// a.[b c], "x y;z" gives [x y];z. Any other name comes back unchanged, so
// that the engine folds its case as in the create statement. Never throws
// but for memory.
std::string open_form(std::string_view name, std::string_view quoted_starts,
                      const std::function<std::string(std::string_view)>& quote);

// The parts of a table name as typed ("schema.table"), each without its
// quotes ([...], "..." or `...`, a doubled quote inside standing for one)
// and the blanks around it. Never throws but for memory.
std::vector<std::string> unquoted_name_parts(std::string_view name);

// "a","b",...: the names quoted with "quote", separated by commas.
std::string column_list(std::span<const std::string> names, char quote = '"');

// "INSERT INTO target (columns) VALUES (m1,m2,...)" with "count" markers
// written by "marker"; with no columns "INSERT INTO target" followed by
// "no_columns", the engine's form of a record of defaults. With "rows"
// above 1 (and columns), that many records: "VALUES (m1,m2),(m3,m4)", the
// markers numbered on from record to record.
std::string insert_statement(std::string_view target, std::string_view columns,
                             std::size_t count, const MarkerForm& marker = {},
                             std::string_view no_columns = " DEFAULT VALUES",
                             std::size_t rows = 1);

// "value" as an ISO text for a column of "kind": 2024-01-31 for a date,
// 13:45:00 for a time, both joined by a blank otherwise. Every engine reads
// these whatever its own date style.
std::string iso_text(const DateTime& value, FieldKind kind);

}  // namespace kadrum
