#include "db/data_source.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "base/provider_error.h"

namespace kadrum {

namespace {

struct Scheme {
  std::string_view name;  // lower case
  EngineKind engine;
};

// The URI schemes Kadrum knows, each with its engine.
constexpr std::array<Scheme, 3> known_schemes{{
    {"postgresql", EngineKind::postgresql},
    {"postgres", EngineKind::postgresql},
    {"odbc", EngineKind::odbc},
}};

bool is_scheme_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// "source" with what stands between the first ":" after "scheme_end" and
// the last "@" replaced by "***"; an ODBC connection string keeps its
// password in a setting, so all after its colon is.
std::string masked(std::string_view source, std::size_t scheme_end, std::string_view scheme) {
  if (scheme == "odbc") return std::string(source.substr(0, scheme_end + 1)) + "***";
  const auto at = source.rfind('@');
  const auto colon = source.find(':', scheme_end + 1);
  std::string shown(source);
  if (at != std::string_view::npos && colon != std::string_view::npos && colon < at)
    shown.replace(colon + 1, at - colon - 1, "***");
  return shown;
}

}  // namespace

DataSourceForm data_source_form(std::string_view source) {
  const std::size_t start = std::min(source.find_first_not_of(' '), source.size());
  std::size_t colon = start;
  while (colon < source.size() && is_scheme_char(source[colon])) ++colon;
  if (colon - start < 2 || colon >= source.size() || source[colon] != ':') return {};
  const std::string scheme = lower(source.substr(start, colon - start));
  const std::string_view rest = source.substr(colon + 1);
  const bool slashes = rest.starts_with("//");
  for (const Scheme& known : known_schemes) {
    if (scheme != known.name) continue;
    if (start == 0 && known.engine == EngineKind::odbc) return {known.engine, std::string(source)};
    if (start == 0 && slashes) return {known.engine, scheme + ":" + std::string(rest)};
    break;  // a known scheme written otherwise: refused below
  }
  const bool uri_like = slashes || rest.find('@') < rest.find('/');
  const bool known = std::any_of(known_schemes.begin(), known_schemes.end(),
                                 [&](const Scheme& k) { return k.name == scheme; });
  if (scheme == "file" || (!uri_like && !known)) return {};
  throw ProviderError(fill_message(
      "Die Datenquelle '%s' wird nicht erkannt: ein PostgreSQL-Server wird als "
      "postgresql://… oder postgres://… angegeben, eine ODBC-Verbindung als odbc:…, eine "
      "SQLite-Datenbank als Dateipfad",
      {masked(source, colon, scheme)}));
}

}  // namespace kadrum
