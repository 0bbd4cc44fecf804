#include "db/parameter_markers.h"

#include <algorithm>

namespace kadrum {

namespace {

bool is_name_quote(char c) { return c == '"' || c == '\'' || c == '`'; }

constexpr std::string_view name_ends = "\n\r ),;";

}  // namespace

MarkedStatement scan_parameter_markers(std::string_view statement, const SqlDialect& dialect,
                                       const MarkerForm& marker) {
  MarkedStatement marked;
  marked.text.reserve(statement.size());
  const std::size_t size = statement.size();
  std::size_t at = 0;
  while (at < size) {
    const SqlPiece piece = sql_piece_at(statement, at, dialect);
    if (piece.kind != SqlPieceKind::text || statement[at] != ':') {
      marked.text += statement.substr(at, piece.end - at);
      at = piece.end;
    } else if (at + 1 < size && statement[at + 1] == ':') {
      marked.text += "::";
      at += 2;
    } else {
      std::size_t name_start = at + 1;
      std::size_t name_end;
      std::size_t next;
      if (name_start < size && is_name_quote(statement[name_start])) {
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
    }
  }
  return marked;
}

}  // namespace kadrum
