// Reading the settings of a connection string.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kadrum {

// Kadrum's fixed connection string with "dbpath" and one blank as its data
// source. A path with ";" or a leading quote is put in double quotes (blank
// included), so that parse_connection_string gives it back unchanged; any
// other path stands as it is.
std::string build_connection_string(std::string_view dbpath);

using ConnectionSetting = std::pair<std::string, std::string>;

// The "key=value" pairs of "text", in order, split at ";". Keys are trimmed
// of blanks; a value that begins with a double or single quote runs to the
// matching quote (a doubled quote stands for one) and may hold ";", any other
// value runs as it is, blanks included, to the next ";". Pieces without "="
// and empty pieces are skipped. Never throws.
std::vector<ConnectionSetting> parse_connection_string(std::string_view text);

// The value of the last setting named "key" (without regard to ASCII case),
// or nothing when "text" has none. Never throws.
std::optional<std::string> connection_setting(std::string_view text,
                                              std::string_view key);

}  // namespace kadrum
