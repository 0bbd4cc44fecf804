#include "db/connection_string.h"

#include <algorithm>


namespace kadrum {

namespace {

// The data source value: the path and one blank. A value with ";" or with a
// leading quote would read back as another path, so such a value goes in
// double quotes, the blank inside them, each double quote in it doubled.
void append_data_source(std::string& text, std::string_view dbpath) {
  const bool plain = dbpath.find(';') == std::string_view::npos &&
                     !dbpath.starts_with('"') && !dbpath.starts_with('\'');
  if (plain) {
    text += dbpath;
    text += ' ';
    return;
  }
  text += '"';
  for (char c : dbpath) {
    if (c == '"') text += '"';
    text += c;
  }
  text += " \"";
}

}  // namespace

std::string build_connection_string(std::string_view dbpath) {
  std::string text =
      "Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=";
  append_data_source(text, dbpath);
  text +=
      ";Mode=Share Deny None;Jet OLEDB:System database=\"\";Jet OLEDB:Registry "
      "Path=\"\";Jet OLEDB:Database Password=\"\";Jet OLEDB:Engine Type=4;Jet "
      "OLEDB:Database Locking Mode=0;Jet OLEDB:Global Partial Bulk Ops=2;Jet "
      "OLEDB:Global Bulk Transactions=1;";
  text += "Extended Properties=\"\";";
  text +=
      "Jet OLEDB:New Database Password=\"\";Jet OLEDB:Create System "
      "Database=False;Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy "
      "Locale on Compact=False;Jet OLEDB:Compact Without Replica "
      "Repair=False;Jet OLEDB:SFP=False";
  return text;
}

namespace {

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool same_key(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

std::vector<ConnectionSetting> parse_connection_string(std::string_view text) {
  std::vector<ConnectionSetting> settings;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto equals = text.find('=', at);
    const auto semicolon = text.find(';', at);
    if (equals == std::string_view::npos || semicolon < equals) {
      // A piece without "=": nothing to read.
      if (semicolon == std::string_view::npos) break;
      at = semicolon + 1;
      continue;
    }
    std::string key(trimmed(text.substr(at, equals - at)));
    std::string value;
    at = equals + 1;
    if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
      const char quote = text[at++];
      while (at < text.size()) {
        if (text[at] == quote) {
          if (at + 1 < text.size() && text[at + 1] == quote) {
            value += quote;
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        value += text[at++];
      }
      // Whatever follows the closing quote up to ";" is dropped.
      at = std::min(text.find(';', at), text.size());
    } else {
      const auto end = std::min(text.find(';', at), text.size());
      value = std::string(text.substr(at, end - at));
      at = end;
    }
    if (at < text.size()) ++at;  // the ";"
    if (!key.empty()) settings.emplace_back(std::move(key), std::move(value));
  }
  return settings;
}

std::optional<std::string> connection_setting(std::string_view text,
                                              std::string_view key) {
  std::optional<std::string> found;
  for (auto& [name, value] : parse_connection_string(text))
    if (same_key(name, key)) found = std::move(value);
  return found;
}

}  // namespace kadrum
