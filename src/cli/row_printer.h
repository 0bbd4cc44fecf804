// The preview's append operation: each row as three tab-separated texts.
#pragma once

#include <string>

#include "base/error.h"
#include "import/import_run.h"

namespace kadrum {

// A failed write of the program's own output: the fault lies with the
// output, never with the input line being handled at the time.
class OutputError : public Error {
 public:
  // The message for errno "code": "Fehler beim Schreiben der Standardausgabe:
  // E/A-Fehler N".
  explicit OutputError(int code);
};

class RowPrinter {
 public:
  // Writes to file descriptor "fd". On a terminal every row is written at
  // once; otherwise rows are collected into blocks, so that a million rows
  // cost a few hundred system calls.
  explicit RowPrinter(int fd);
  RowPrinter(const RowPrinter&) = delete;
  RowPrinter& operator=(const RowPrinter&) = delete;
  ~RowPrinter();  // flushes, ignoring errors

  // Adds one row; throws OutputError when writing fails.
  void print(const Row& row);
  // Writes what is collected; throws OutputError when writing fails.
  void flush();

 private:
  int fd_;
  bool row_by_row_;
  std::string buffer_;
};

}  // namespace kadrum
