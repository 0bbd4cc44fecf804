#include <unistd.h>

#include <cerrno>

#include "base/console.h"

namespace kadrum {

bool is_terminal(int fd) noexcept { return isatty(fd) == 1; }

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
