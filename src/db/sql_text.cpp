#include "db/sql_text.h"

#include <algorithm>
#include <cstdio>

namespace kadrum {

std::string open_form(std::string_view name, std::string_view quoted_starts,
                      const std::function<std::string(std::string_view)>& quote) {
  if (name.find(' ') == std::string_view::npos ||
      quoted_starts.find(name.front()) != std::string_view::npos)
    return std::string(name);
  // The quoted part runs from after the first "." (or the start) to the
  // first ";" after it (or the end).
  const auto dot = name.find('.');
  const std::size_t begin = dot == std::string_view::npos ? 0 : dot + 1;
  const auto semicolon = name.find(';', begin);
  const std::size_t end = semicolon == std::string_view::npos ? name.size() : semicolon;
  std::string form(name.substr(0, begin));
  form += quote(name.substr(begin, end - begin));
  form.append(name.substr(end));
  return form;
}

std::string column_list(std::span<const std::string> names, char quote) {
  std::string list;
  for (const auto& name : names) {
    if (!list.empty()) list += ',';
    list += quote_identifier(name, quote);
  }
  return list;
}

std::string insert_statement(std::string_view target, std::string_view columns,
                             std::size_t count, const MarkerForm& marker,
                             std::string_view no_columns, std::size_t rows) {
  std::string sql = "INSERT INTO ";
  sql += target;
  if (count == 0) {
    sql += no_columns;
    return sql;
  }
  sql += " (";
  sql += columns;
  sql += ") VALUES ";
  for (std::size_t r = 0; r < std::max<std::size_t>(rows, 1); ++r) {
    sql += r > 0 ? ",(" : "(";
    for (std::size_t i = 0; i < count; ++i) {
      if (i > 0) sql += ',';
      sql += marker ? marker(r * count + i) : std::string("?");
    }
    sql += ')';
  }
  return sql;
}

std::string iso_text(const DateTime& t, FieldKind kind) {
  char buffer[64];
  if (kind == FieldKind::date)
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
  else if (kind == FieldKind::time)
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  else
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second);
  return buffer;
}

std::vector<std::string> unquoted_name_parts(std::string_view name) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '.') {
      parts.emplace_back();
    } else if (c == '[' || c == '"' || c == '`') {
      const char close = c == '[' ? ']' : c;
      for (++i; i < name.size(); ++i) {
        if (name[i] != close) {
          parts.back() += name[i];
        } else if (i + 1 < name.size() && name[i + 1] == close) {
          parts.back() += close;
          ++i;
        } else {
          break;
        }
      }
    } else if (c != ' ' || !parts.back().empty()) {
      parts.back() += c;
    }
  }
  for (std::string& part : parts)
    while (!part.empty() && part.back() == ' ') part.pop_back();
  return parts;
}

}  // namespace kadrum
