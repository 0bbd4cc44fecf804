#include "db/parameter_markers.h"

namespace kadrum {

namespace {

bool is_quote(char c) { return c == '"' || c == '\'' || c == '`'; }

constexpr std::string_view name_ends = "\n\r ),;";

}  // namespace

MarkedStatement scan_parameter_markers(std::string_view statement,
                                       const MarkerForm& marker) {
  MarkedStatement marked;
  marked.text.reserve(statement.size());
  const std::size_t size = statement.size();
  std::size_t at = 0;
  while (at < size) {
    const char c = statement[at];
    if (is_quote(c)) {
      const auto close = statement.find(c, at + 1);
      const std::size_t end = close == std::string_view::npos ? size : close + 1;
      marked.text += statement.substr(at, end - at);
      at = end;
    } else if (c == ':' && at + 1 < size && statement[at + 1] == ':') {
      marked.text += "::";
      at += 2;
    } else if (c == ':') {
      std::size_t name_start = at + 1;
      std::size_t name_end;
      std::size_t next;
      if (name_start < size && is_quote(statement[name_start])) {
        const char quote = statement[name_start++];
        const auto close = statement.find(quote, name_start);
        name_end = close == std::string_view::npos ? size : close;
        next = close == std::string_view::npos ? size : close + 1;
      } else {
        name_end = std::min(statement.find_first_of(name_ends, name_start), size);
        next = name_end;
      }
      marked.text += marker ? marker(marked.names.size()) : std::string("?");
      marked.names.emplace_back(statement.substr(name_start, name_end - name_start));
      at = next;
    } else {
      marked.text += c;
      ++at;
    }
  }
  return marked;
}

}  // namespace kadrum
