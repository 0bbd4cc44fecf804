// The form under which the table object opens its table.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

// "name" with brackets put around its part after the first "." (or the whole
// name) when it holds a blank and does not begin with "[": "my data" gives
// "[my data]", "a.b c" gives "a.[b c]", "x y;z" gives "[x y];z". Any other
// name comes back unchanged. Never throws.
std::string open_form(std::string_view name);

}  // namespace kadrum
