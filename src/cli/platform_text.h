// The few texts and spellings of kadrum-cli that differ by platform: what
// a shell does with "*", where the decimal separator comes from, how help
// is asked for. One file per platform (platform_text_posix.cpp, _win.cpp).
#pragma once

#include <string_view>

namespace kadrum::platform_text {

// "*" as the help's examples write it: a POSIX shell would expand it into
// file names, so it is quoted; cmd hands quotes on to the program, which
// then sees no "*", so there it stands bare.
extern const std::string_view star;

// Where the decimal separator comes from when --decimal= does not choose
// it, as the genitive in "das Dezimaltrennzeichen ',' ..."
extern const std::string_view locale_source;

// What else gives a decimal point, behind "--decimal=. angeben"; empty when
// nothing else does.
extern const std::string_view other_point_choice;

// Whether "arg" asks for help in this platform's usual spelling besides
// "--help" ("-h"; also "/?" on Windows).
bool asks_for_help(std::string_view arg);

}  // namespace kadrum::platform_text
