#include "cli/row_printer.h"

#include <cerrno>
#include <string>

#include "base/console.h"
#include "base/error.h"

namespace kadrum {

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

OutputError::OutputError(int code)
    : Error(fill_message("Fehler beim Schreiben der Standardausgabe: E/A-Fehler %d",
                         {std::to_string(code)})) {}

RowPrinter::RowPrinter(int fd) : fd_(fd), row_by_row_(is_terminal(fd)) {
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
  if (!write_text(fd_, buffer_)) {
    const int code = errno;
    buffer_.clear();
    throw OutputError(code);
  }
  buffer_.clear();
}

}  // namespace kadrum
