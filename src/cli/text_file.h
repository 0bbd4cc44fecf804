// The text file of a kadrum-cli run, as the import reads it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/run_settings.h"
#include "import/byte_source.h"

namespace kadrum {

// The text file's name as given, "(Standardeingabe)" for standard input.
std::string text_file_label(const RunSettings& settings);

// Its messages name the file, as "file:line:" does for a data line
// ("fehlt.txt: Die angegebene Datei wurde nicht gefunden"), and it counts
// the bytes read, for the progress display. Under a decimal comma it tells
// of the first data line where a digit, a comma and a digit stand together
// (once per run, on standard error): items never hold a comma, so such a
// "12,5" becomes two values, which is seldom what the file meant.
class TextFile : public ByteSource {
 public:
  // Opens the run's text file as open_text_file does. Throws kadrum::Error
  // with that message behind the label and ": ".
  explicit TextFile(const RunSettings& settings);

  // As ByteSource::read; a read error's message gets the same prefix.
  std::size_t read(char* buffer, std::size_t size) override;

  // May be asked on another thread than the one reading (the storing one of
  // --single-transaction).
  std::uint64_t bytes_read() const { return bytes_read_.load(std::memory_order_relaxed); }
  // The size of a regular file (also on standard input); 0 for anything
  // else, whose end nobody knows in advance.
  std::uint64_t size() const { return size_; }
  // Whether it is a regular file, which holds its bytes for a later open as
  // well; what a pipe or FIFO held goes with its reader.
  bool regular() const { return regular_; }

 private:
  void watch_commas(const char* bytes, std::size_t size);

  std::string label_;
  std::unique_ptr<ByteSource> source_;
  std::atomic<std::uint64_t> bytes_read_{0};
  std::uint64_t size_ = 0;
  bool regular_ = false;
  // The comma watch: on until it told, or when the separator is no comma.
  bool watch_ = false;
  std::int64_t headers_ = 0;
  std::uint64_t line_ = 1;
  bool after_digit_ = false;
  bool after_digit_comma_ = false;
};

}  // namespace kadrum
