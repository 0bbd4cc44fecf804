#include "cli/row_printer.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/error.h"

namespace kadrum {

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

OutputError::OutputError(int code)
    : Error(fill_message("Fehler beim Schreiben der Standardausgabe: E/A-Fehler %d",
                         {std::to_string(code)})) {}

RowPrinter::RowPrinter(int fd) : fd_(fd), row_by_row_(isatty(fd) == 1) {
  buffer_.reserve(kBlock + 256);
}

RowPrinter::~RowPrinter() {
  try {
    flush();
  } catch (const Error&) {
    // Nothing can be reported from here; print() and flush() report.
  }
}

void RowPrinter::print(const Row& row) {
  buffer_.append(row[0]);
  buffer_ += '\t';
  buffer_.append(row[1]);
  buffer_ += '\t';
  buffer_.append(row[2]);
  buffer_ += '\n';
  if (row_by_row_ || buffer_.size() >= kBlock) flush();
}

void RowPrinter::flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      buffer_.clear();
      throw OutputError(code);
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

}  // namespace kadrum
