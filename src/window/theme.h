// What every toolkit knows of the visual theme: its name and its colours.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kadrum {

// The theme the program asks for at start-up.
inline constexpr char kThemeName[] = "Slate Classico";

// One entry of a theme's palette: a role, named as in Qt's QPalette
// ("Window", "ButtonText", ...), and its colour as 0xRRGGBB.
struct ThemeColour {
  std::string role;
  std::uint32_t rgb = 0;
};

// The entries of a theme's "palette.conf": one "Role = #rrggbb" per line;
// "#" at the start of a line begins a comment; a line that is neither is
// skipped. Never throws but std::bad_alloc.
std::vector<ThemeColour> read_palette(std::string_view text);

// The colour of "role" in "palette"; "fallback" when it has none.
std::uint32_t palette_colour(const std::vector<ThemeColour>& palette,
                             std::string_view role, std::uint32_t fallback);

}  // namespace kadrum
