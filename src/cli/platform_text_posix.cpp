#include "cli/platform_text.h"

namespace kadrum::platform_text {

const std::string_view star = "'*'";
const std::string_view locale_source = "des Gebietsschemas";
const std::string_view other_point_choice = " oder LC_NUMERIC=C setzen (bei nicht gesetztem LC_ALL)";

bool asks_for_help(std::string_view arg) { return arg == "-h"; }

}  // namespace kadrum::platform_text
