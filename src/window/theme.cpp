#include "window/theme.h"

#include <charconv>

namespace kadrum {
namespace {

std::string_view trimmed(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

}  // namespace

std::vector<ThemeColour> read_palette(std::string_view text) {
  std::vector<ThemeColour> palette;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const std::size_t equals = line.find('=');
    if (line.starts_with('#') || equals == std::string_view::npos) continue;
    const std::string_view role = trimmed(line.substr(0, equals));
    const std::string_view value = trimmed(line.substr(equals + 1));
    std::uint32_t rgb = 0;
    if (role.empty() || value.size() != 7 || value[0] != '#') continue;
    const auto [rest, error] = std::from_chars(value.data() + 1, value.data() + 7, rgb, 16);
    if (error != std::errc() || rest != value.data() + 7) continue;
    palette.push_back({std::string(role), rgb});
  }
  return palette;
}

std::uint32_t palette_colour(const std::vector<ThemeColour>& palette,
                             std::string_view role, std::uint32_t fallback) {
  // A role named twice takes its last colour, as a later line overrides.
  for (auto entry = palette.rbegin(); entry != palette.rend(); ++entry)
    if (entry->role == role) return entry->rgb;
  return fallback;
}

}  // namespace kadrum
