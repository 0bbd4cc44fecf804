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

bool is_word_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Where the scheme of "source" ends (its colon) after any leading blanks,
// and the scheme in lower case; npos when it begins with none.
std::size_t scheme_colon(std::string_view source, std::string& scheme) {
  const std::size_t start = std::min(source.find_first_not_of(' '), source.size());
  std::size_t colon = start;
  while (colon < source.size() && is_scheme_char(source[colon])) ++colon;
  if (colon - start < 2 || colon >= source.size() || source[colon] != ':')
    return std::string_view::npos;
  scheme = lower(source.substr(start, colon - start));
  return colon;
}

// "shown" with the value of every "PWD=" and "Password=" setting (any case,
// blanks around the "=", a braced value whole) replaced by "***". A key
// counts where no letter or digit stands right before it, so that a path
// such as "mypwd=1.db" keeps its name.
void mask_password_settings(std::string& shown) {
  for (std::size_t at = 0; at < shown.size(); ++at) {
    if (at > 0 && is_word_char(shown[at - 1])) continue;
    std::size_t key_end = at;
    while (key_end < shown.size() && is_word_char(shown[key_end])) ++key_end;
    const std::string key = lower(std::string_view(shown).substr(at, key_end - at));
    if (key != "pwd" && key != "password") continue;
    std::size_t equals = key_end;
    while (equals < shown.size() && shown[equals] == ' ') ++equals;
    if (equals >= shown.size() || shown[equals] != '=') continue;
    std::size_t start = equals + 1;
    while (start < shown.size() && shown[start] == ' ') ++start;
    std::size_t end = start;
    if (start < shown.size() && shown[start] == '{') {
      // Up to the closing brace; a doubled one stands for a brace inside.
      for (end = start + 1; end < shown.size(); ++end) {
        if (shown[end] != '}') continue;
        if (end + 1 < shown.size() && shown[end + 1] == '}') {
          ++end;
          continue;
        }
        ++end;
        break;
      }
    } else {
      end = std::min(shown.find(';', start), shown.size());
    }
    if (end == start) continue;
    shown.replace(start, end - start, "***");
    at = start + 2;
  }
}

}  // namespace

std::string shown_data_source(std::string_view source) {
  std::string scheme;
  const std::size_t colon = scheme_colon(source, scheme);
  if (colon != std::string_view::npos && scheme == "odbc")
    return std::string(source.substr(0, colon + 1)) + "***";
  std::string shown(source);
  if (colon != std::string_view::npos) {
    // A URI's password stands between the colon after the user and the
    // last "@".
    const auto at = source.rfind('@');
    const auto user_colon = source.find(':', colon + 1);
    if (at != std::string_view::npos && user_colon != std::string_view::npos && user_colon < at)
      shown.replace(user_colon + 1, at - user_colon - 1, "***");
  }
  mask_password_settings(shown);
  return shown;
}

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
      {shown_data_source(source)}));
}

}  // namespace kadrum
