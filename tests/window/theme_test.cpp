// Reading a theme's palette.
#include <gtest/gtest.h>

#include "window/theme.h"

namespace kadrum {
namespace {

TEST(ThemePalette, ReadsRolesAndSkipsWhatIsNoColour) {
  const auto palette = read_palette(
      "# Window = #000000\r\n"
      "Window = #d4dadf\r\n"
      "  ButtonText=#1F272D  \n"
      "Base = d4dadf\n"
      "Text = #12345\n"
      "Light = #12345g\n"
      "Dark = -#12345\n"
      "no equals sign\n"
      "Window = #010203");  // a later line overrides
  EXPECT_EQ(palette_colour(palette, "Window", 0), 0x010203u);
  EXPECT_EQ(palette_colour(palette, "ButtonText", 0), 0x1f272du);
  for (const char* skipped : {"Base", "Text", "Light", "Dark"})
    EXPECT_EQ(palette_colour(palette, skipped, 7), 7u) << skipped;
}

}  // namespace
}  // namespace kadrum
