// Lower-casing of any Unicode letter, as the platform knows it.
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

// "text" (UTF-8) with every character replaced by its lower-case form; other
// characters, and bytes that are no valid UTF-8, stay as they are. The same
// whatever the user's locale. Never throws but std::bad_alloc.
std::string lower_case(std::string_view text);

}  // namespace kadrum
