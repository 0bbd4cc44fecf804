// JSON text for what kadrum-cli writes for monitoring scripts (--json and
// --status-file).
#pragma once

#include <string>
#include <string_view>

namespace kadrum {

// "text" as a JSON string: quotes, backslashes and control characters
// escaped, and every byte that is not UTF-8 as U+FFFD, so that any parser
// takes it (a file name need not be UTF-8).
std::string json_string(std::string_view text);

}  // namespace kadrum
