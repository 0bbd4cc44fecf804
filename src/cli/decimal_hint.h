// The hint kadrum-cli adds when a value failed only for its decimal mark.
#pragma once

#include <exception>
#include <string>

namespace kadrum {

// One German line, without the line break, when "error" is a number text
// that would have converted with "." while the decimal separator
// "separator" is another: it names that separator, where it came from
// (--decimal= when "chosen", else the locale) and --decimal=. with what
// else chooses the point. Empty for any other error, and for a point.
// (Items never hold a ",", so a comma text cannot reach a point separator.)
std::string decimal_separator_hint(const std::exception& error, const std::string& separator,
                                   bool chosen);

}  // namespace kadrum
