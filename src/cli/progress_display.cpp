#include "cli/progress_display.h"

#include <unistd.h>

#include <cstdio>

namespace kadrum {

namespace {
constexpr auto kInterval = std::chrono::milliseconds(200);
}

ProgressDisplay::ProgressDisplay(int fd)
    : fd_(fd),
      active_(isatty(fd) == 1),
      start_(std::chrono::steady_clock::now()),
      last_(start_) {}

ProgressDisplay::~ProgressDisplay() {
  if (shown_) {
    const char clear[] = "\r\033[K";
    [[maybe_unused]] auto n = ::write(fd_, clear, sizeof clear - 1);
  }
}

void ProgressDisplay::redraw(std::uint64_t records) {
  const auto now = std::chrono::steady_clock::now();
  // The first second stays quiet: short imports need no display.
  if (now - last_ < kInterval || now - start_ < std::chrono::seconds(1)) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char line[96];
  const int n = std::snprintf(line, sizeof line,
                              "\r\033[K%llu Datensätze, %.0f je Sekunde",
                              static_cast<unsigned long long>(records),
                              records / seconds);
  if (n > 0) {
    [[maybe_unused]] auto w = ::write(fd_, line, static_cast<std::size_t>(n));
    shown_ = true;
  }
}

}  // namespace kadrum
