// The parameter-marker scan that turns a statement text into the command text.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql_scan.h"

namespace kadrum {

struct MarkedStatement {
  std::string text;                // every marker replaced by its form
  std::vector<std::string> names;  // the markers' names, in marker order
};

// How marker "index" (0-based) is written; "?" when none is given.
using MarkerForm = std::function<std::string(std::size_t index)>;

// Scans "statement" as "dialect" reads it: its strings, quoted names and
// comments and every "::" are kept as they are; any other ":" with its name
// (quoted with ", ' or `, or running up to LF, CR, blank, ")", "," or ";")
// becomes the marker. Never throws.
MarkedStatement scan_parameter_markers(std::string_view statement, const SqlDialect& dialect,
                                       const MarkerForm& marker = {});

}  // namespace kadrum
