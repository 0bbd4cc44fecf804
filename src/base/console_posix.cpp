#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/console.h"

namespace kadrum {

bool is_terminal(int fd) noexcept { return isatty(fd) == 1; }

int terminal_width(int fd) noexcept {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    char* end = nullptr;
    const long n = std::strtol(columns, &end, 10);
    if (*end == '\0' && n > 0 && n < 10000) return static_cast<int>(n);
  }
  return 80;
}

bool write_text(int fd, std::string_view text) noexcept {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace kadrum
