#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "base/console.h"
#include "base/wide_text_win.h"

namespace kadrum {

namespace {

HANDLE handle_of(int fd) noexcept { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// A console handle, with its escape sequences ("\r\033[K" of the progress
// line) switched on once.
bool is_console(HANDLE handle) noexcept {
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0)
    SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  return true;
}

}  // namespace

bool is_terminal(int fd) noexcept { return is_console(handle_of(fd)); }

int terminal_width(int fd) noexcept {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(handle_of(fd), &info) && info.dwSize.X > 0) return info.dwSize.X;
  if (const char* columns = std::getenv("COLUMNS")) {
    char* end = nullptr;
    const long n = std::strtol(columns, &end, 10);
    if (*end == '\0' && n > 0 && n < 10000) return static_cast<int>(n);
  }
  return 80;
}

bool write_text(int fd, std::string_view text) noexcept {
  HANDLE handle = handle_of(fd);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return false;
  }
  if (is_console(handle)) {
    const std::wstring wide = to_wide(text);
    std::size_t done = 0;
    while (done < wide.size()) {
      DWORD written = 0;
      const DWORD part = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
      if (!WriteConsoleW(handle, wide.data() + done, part, &written, nullptr) || written == 0) {
        errno = EIO;
        return false;
      }
      done += written;
    }
    return true;
  }
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
    if (!WriteFile(handle, text.data() + done, part, &written, nullptr)) {
      const DWORD error = GetLastError();
      errno = error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ? EPIPE
              : error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC
                                                                             : EIO;
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace kadrum
