// The hint kadrum-cli adds when a value failed only for its decimal mark.
#pragma once

#include <exception>
#include <string>

namespace kadrum {

// One German line, without the line break, when "error" is a number text
// that would have converted with "." while the locale's decimal separator
// "locale_separator" is another: it names that separator and what chooses
// C's point. Empty for any other error, and under a locale with a point.
// (Items never hold a ",", so a comma text cannot reach a point locale.)
std::string decimal_separator_hint(const std::exception& error,
                                   const std::string& locale_separator);

}  // namespace kadrum
