// Standard output and standard error as text: on a Windows console the
// UTF-8 text is written as UTF-16, so that umlauts show whatever the
// console's code page; redirected, and on POSIX, the UTF-8 bytes as they
// are. One file per platform (console_posix.cpp, console_win.cpp).
#pragma once

#include <string_view>

namespace kadrum {

// Whether descriptor "fd" is a terminal (a console on Windows).
bool is_terminal(int fd) noexcept;

// The columns of terminal "fd", read anew at every call so that it follows
// a resize (POSIX TIOCGWINSZ, the console's buffer width on Windows); else
// COLUMNS, else 80.
int terminal_width(int fd) noexcept;

// Writes all of "text" to descriptor "fd", retrying interrupted and partial
// writes; false with errno set when writing failed.
bool write_text(int fd, std::string_view text) noexcept;

}  // namespace kadrum
