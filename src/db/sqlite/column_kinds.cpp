#include "db/sqlite/column_kinds.h"

#include <array>
#include <charconv>
#include <string>

namespace kadrum::sqlite {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Lower case, runs of blanks made one, none at either end.
std::string normalized(std::string_view text) {
  std::string out;
  bool pending_blank = false;
  for (char c : text) {
    if (is_blank(c)) {
      pending_blank = !out.empty();
      continue;
    }
    if (pending_blank) out += ' ';
    pending_blank = false;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

// The number inside the first "(...)", or 0 when there is none.
int size_argument(std::string_view declared_type) {
  const auto open = declared_type.find('(');
  if (open == std::string_view::npos) return 0;
  auto inside = declared_type.substr(open + 1);
  inside = inside.substr(0, inside.find(')'));
  while (!inside.empty() && is_blank(inside.front())) inside.remove_prefix(1);
  while (!inside.empty() && is_blank(inside.back())) inside.remove_suffix(1);
  int size = 0;
  const auto [end, error] = std::from_chars(inside.data(), inside.data() + inside.size(), size);
  if (error != std::errc() || end != inside.data() + inside.size() || size <= 0) return 0;
  return size;
}

struct Known {
  std::string_view name;
  FieldKind kind;
};

constexpr std::array<Known, 26> known_types{{
    {"double", FieldKind::floating},     {"double precision", FieldKind::floating},
    {"float", FieldKind::floating},      {"real", FieldKind::floating},
    {"single", FieldKind::floating},     {"currency", FieldKind::currency},
    {"money", FieldKind::currency},      {"integer", FieldKind::integer32},
    {"int", FieldKind::integer32},       {"smallint", FieldKind::integer16},
    {"tinyint", FieldKind::integer16},   {"byte", FieldKind::unsigned16},
    {"text", FieldKind::unicode_text},   {"ntext", FieldKind::unicode_text},
    {"memo", FieldKind::unicode_text},   {"nchar", FieldKind::unicode_text},
    {"nvarchar", FieldKind::unicode_text}, {"date", FieldKind::date},
    {"time", FieldKind::time},           {"datetime", FieldKind::datetime},
    {"timestamp", FieldKind::datetime},  {"bit", FieldKind::boolean},
    {"boolean", FieldKind::boolean},     {"bool", FieldKind::boolean},
    {"yesno", FieldKind::boolean},       {"logical", FieldKind::boolean},
}};

}  // namespace

ColumnKind column_kind(std::string_view declared_type) {
  const std::string base = normalized(declared_type.substr(0, declared_type.find('(')));
  if (base == "char" || base == "varchar" || base == "character") {
    const int size = size_argument(declared_type);
    if (size > 0) return {FieldKind::ansi_text, size};
    return {FieldKind::unicode_text, 0};
  }
  for (const auto& known : known_types)
    if (known.name == base) return {known.kind, 0};

  // SQLite's own affinity rules, in their order; REAL, NUMERIC and BLOB
  // affinity all hold numbers best as doubles.
  const std::string whole = normalized(declared_type);
  if (whole.find("int") != std::string::npos) return {FieldKind::integer32, 0};
  if (whole.find("char") != std::string::npos || whole.find("clob") != std::string::npos ||
      whole.find("text") != std::string::npos)
    return {FieldKind::unicode_text, 0};
  return {FieldKind::floating, 0};
}

}  // namespace kadrum::sqlite
