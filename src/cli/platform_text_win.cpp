#include "cli/platform_text.h"

namespace kadrum::platform_text {

const std::string_view star = "*";
// Windows has no LC_NUMERIC: the separator is the one of the user's
// regional settings.
const std::string_view locale_source = "der Regionaleinstellungen";
const std::string_view other_point_choice = "";

bool asks_for_help(std::string_view arg) { return arg == "-h" || arg == "/?"; }

}  // namespace kadrum::platform_text
