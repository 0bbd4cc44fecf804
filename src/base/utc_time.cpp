#include "base/utc_time.h"

namespace kadrum {

std::string utc_text(std::time_t when, bool iso) {
  std::tm parts{};
  gmtime_r(&when, &parts);
  char text[32];
  std::strftime(text, sizeof text, iso ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

}  // namespace kadrum
