// The parameter-marker scan that turns a statement text into the command text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kadrum {

struct MarkedStatement {
  std::string text;                // every marker replaced by "?"
  std::vector<std::string> names;  // the markers' names, in marker order
};

// Scans "statement": stretches quoted with ", ' or ` and every "::" are kept
// as they are; any other ":" with its name (quoted, or running up to LF, CR,
// blank, ")", "," or ";") becomes "?". Never throws.
MarkedStatement scan_parameter_markers(std::string_view statement);

}  // namespace kadrum
