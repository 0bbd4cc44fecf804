// Times as Kadrum writes them into its helper tables and status files.
#pragma once

#include <ctime>
#include <string>

namespace kadrum {

// The second "when", in UTC, as "2026-03-01 14:05:09": readable and
// sorting as text. With "iso", as "2026-03-01T14:05:09Z".
std::string utc_text(std::time_t when, bool iso = false);

}  // namespace kadrum
