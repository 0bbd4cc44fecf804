#include "db/data_source.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "base/integer_text.h"
#include "base/provider_error.h"
#include "db/connection_string.h"

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

DataSource read_data_source(std::string_view source) {
  const DataSource file{EngineKind::sqlite, std::string(source), shown_data_source(source)};
  const std::size_t start = std::min(source.find_first_not_of(' '), source.size());
  std::size_t colon = start;
  while (colon < source.size() && is_scheme_char(source[colon])) ++colon;
  if (colon - start < 2 || colon >= source.size() || source[colon] != ':') return file;
  const std::string scheme = lower(source.substr(start, colon - start));
  const std::string_view rest = source.substr(colon + 1);
  const bool slashes = rest.starts_with("//");
  for (const Scheme& known : known_schemes) {
    if (scheme != known.name) continue;
    if (start == 0 && known.engine == EngineKind::odbc)
      return {known.engine, std::string(rest), file.shown};
    if (start == 0 && slashes) return {known.engine, scheme + ":" + std::string(rest), file.shown};
    break;  // a known scheme written otherwise: refused below
  }
  const bool uri_like = slashes || rest.find('@') < rest.find('/');
  const bool known = std::any_of(known_schemes.begin(), known_schemes.end(),
                                 [&](const Scheme& k) { return k.name == scheme; });
  if (scheme == "file" || (!uri_like && !known)) return file;
  throw ProviderError(fill_message(
      "Die Datenquelle '%s' wird nicht erkannt: ein PostgreSQL-Server wird als "
      "postgresql://… oder postgres://… angegeben, eine ODBC-Verbindung als odbc:…, eine "
      "SQLite-Datenbank als Dateipfad",
      {file.shown}));
}

DataSource connection_data_source(std::string_view connection_string) {
  std::string source = connection_setting(connection_string, "Data Source").value_or("");
  if (!source.empty() && source.back() == ' ') source.pop_back();
  return read_data_source(source);
}

std::vector<OdbcSetting> odbc_settings(std::string_view text) {
  std::vector<OdbcSetting> settings;
  std::size_t at = 0;
  while (at <= text.size()) {
    OdbcSetting setting;
    std::size_t end = at;
    const auto equals = text.find('=', at);
    if (equals != std::string_view::npos && equals < text.find(';', at)) {
      setting.key = lower(text.substr(at, equals - at));
      setting.key.erase(0, setting.key.find_first_not_of(' '));
      setting.key.erase(setting.key.find_last_not_of(' ') + 1);
      end = std::min(text.find_first_not_of(" \t", equals + 1), text.size());
      if (end < text.size() && text[end] == '{') {
        const std::size_t open = end;
        for (++end; end < text.size(); ++end) {
          if (text[end] != '}') {
            setting.value += text[end];
          } else if (end + 1 < text.size() && text[end + 1] == '}') {
            setting.value += text[++end];
          } else {
            break;
          }
        }
        end = std::min(end + 1, text.size());
        setting.braced = text.substr(open, end - open);
      }
    }
    end = std::min(text.find(';', end), text.size());
    setting.part = text.substr(at, end - at);
    if (equals != std::string_view::npos && equals < end && setting.braced.empty()) {
      const std::string_view value = text.substr(equals + 1, end - equals - 1);
      const auto first = value.find_first_not_of(" \t");
      if (first != std::string_view::npos)
        setting.value = value.substr(first, value.find_last_not_of(" \t") + 1 - first);
    }
    settings.push_back(std::move(setting));
    at = end + 1;
  }
  return settings;
}

std::optional<std::string> odbc_setting(std::string_view connection_string, std::string_view key) {
  for (OdbcSetting& setting : odbc_settings(connection_string))
    if (setting.key == key) return std::move(setting.value);
  return std::nullopt;
}

std::vector<std::string> odbc_passwords(std::string_view connection_string) {
  std::vector<std::string> found;
  for (const OdbcSetting& setting : odbc_settings(connection_string)) {
    if (setting.key != "pwd" && setting.key != "password") continue;
    // The braced form as written is a secret too.
    if (!setting.braced.empty()) found.emplace_back(setting.braced);
    if (!setting.value.empty()) found.push_back(setting.value);
  }
  return found;
}

namespace {

std::string percent_decoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 &&
        hex_digit(text[i + 2]) >= 0) {
      out += static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string masked(std::string_view text, const std::vector<std::string>& secrets, bool apart) {
  std::vector<std::string> sorted(secrets);
  std::sort(sorted.begin(), sorted.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  std::string shown(text);
  for (const auto& secret : sorted) {
    if (secret.empty()) continue;
    for (auto at = shown.find(secret); at != std::string::npos;) {
      const std::size_t end = at + secret.size();
      if (apart && ((at > 0 && is_word_char(shown[at - 1]) && is_word_char(secret.front())) ||
                    (end < shown.size() && is_word_char(shown[end]) &&
                     is_word_char(secret.back())))) {
        at = shown.find(secret, at + 1);
        continue;
      }
      shown.replace(at, secret.size(), "***");
      at = shown.find(secret, at + 3);
    }
  }
  return shown;
}

}  // namespace

void add_password_forms(std::vector<std::string>& found, std::string_view password) {
  if (password.empty()) return;
  found.emplace_back(password);
  found.push_back(percent_decoded(password));
  std::size_t start = 0;
  while (start < password.size()) {
    const auto end = std::min(password.find_first_of("/@:?#&=", start), password.size());
    if (end > start && end - start < password.size()) {
      found.emplace_back(password.substr(start, end - start));
      found.push_back(percent_decoded(password.substr(start, end - start)));
    }
    start = end + 1;
  }
}

std::vector<std::string> uri_passwords(std::string_view uri) {
  std::vector<std::string> found;
  const auto scheme_end = uri.find("://");
  const std::size_t start = scheme_end == std::string_view::npos ? 0 : scheme_end + 3;
  const auto query = uri.find('?', start);
  if (scheme_end != std::string_view::npos) {
    const std::string_view rest = uri.substr(start);
    // libpq ends the user part at the first "@" unless a "/" comes first;
    // up to the last "@" is wider, so that a password holding "/", "?" or
    // "@" is caught whole as well.
    const auto first = rest.find_first_of("@/");
    const auto exact = first != std::string_view::npos && rest[first] == '@'
                           ? first
                           : std::string_view::npos;
    for (const auto at : {exact, rest.rfind('@')}) {
      if (at == std::string_view::npos) continue;
      const std::string_view user_part = rest.substr(0, at);
      if (const auto colon = user_part.find(':'); colon != std::string_view::npos)
        add_password_forms(found, user_part.substr(colon + 1));
    }
  }
  if (query != std::string_view::npos) {
    std::string_view rest = uri.substr(query + 1);
    while (!rest.empty()) {
      const std::string_view pair = rest.substr(0, rest.find('&'));
      rest.remove_prefix(std::min(rest.size(), pair.size() + 1));
      const auto equals = pair.find('=');
      if (equals != std::string_view::npos &&
          percent_decoded(pair.substr(0, equals)) == "password")
        add_password_forms(found, pair.substr(equals + 1));
    }
  }
  return found;
}

std::string masked(std::string_view text, const std::vector<std::string>& secrets) {
  return masked(text, secrets, false);
}

std::string masked_apart(std::string_view text, const std::vector<std::string>& secrets) {
  return masked(text, secrets, true);
}

}  // namespace kadrum
