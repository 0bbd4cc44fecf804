// The one reader of a text's data lines: it skips the header lines, knows
// each line's number and the byte offset after it, and ends the data where
// a byte 26 begins a later data line. Every way of storing (one commit per
// record, the second thread of one transaction, --resume with its
// checkpoint) reads through it, so that they all see the same lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "import/byte_source.h"
#include "import/line_reader.h"

namespace kadrum {

// Where a cursor starts: at the beginning of a text, or where an earlier
// pass over the same file stopped.
struct CursorStart {
  std::uint64_t offset = 0;      // the file's bytes before the source's first one
  std::uint64_t lines = 0;       // the lines before them, header lines included
  std::int64_t headers_left = 0; // header lines still to skip
  // A byte 26 at the start of the first data line is a line of its own (an
  // empty row); at the start of any later one it ends the data.
  bool past_first_data_line = false;
};

class LineCursor {
 public:
  // Reads "source" from "start". With "hold_unfinished", a last line
  // without its line end (a writer may still be in the middle of it) is
  // no line: next returns false, and offset() stays before it.
  LineCursor(ByteSource& source, const CursorStart& start, bool hold_unfinished,
             std::size_t buffer_size = 256 * 1024);

  // Passes over the header lines still to skip and reads the next data
  // line into "line" (valid until the next call); false at the end of the
  // data (no byte left, a byte 26 beginning a later data line, or an
  // unfinished line held). Throws what the source and the line reader
  // throw.
  bool next(std::string_view& line);

  // From now on a data line over the length limit is returned cut (see
  // LineReader::cut_long_lines) instead of refused; line_cut() tells.
  void cut_long_lines() { reader_.cut_long_lines(); }
  bool line_cut() const { return reader_.last_line_cut(); }
  std::size_t max_line_length() const { return reader_.max_line_length(); }

  // The lines used up, counted from the file's start: the number of the
  // data line last returned.
  std::uint64_t lines() const { return lines_; }
  // The file's byte just after the last line used up, header or data.
  std::uint64_t offset() const { return offset_; }
  // Where the data line last returned starts in the file.
  std::uint64_t line_start() const { return line_start_; }
  std::int64_t headers_left() const { return headers_left_; }
  bool past_first_data_line() const { return past_first_; }
  // True when the data ended at an unfinished line that was held; then
  // the file's bytes from offset() to read_end() hold no line end.
  bool holding() const { return holding_; }
  std::uint64_t read_end() const { return base_ + counted_.bytes(); }

 private:
  // Counts the bytes the reader takes from the source.
  class CountingSource : public ByteSource {
   public:
    explicit CountingSource(ByteSource& source) : source_(source) {}
    std::size_t read(char* buffer, std::size_t size) override {
      const std::size_t n = source_.read(buffer, size);
      bytes_ += n;
      return n;
    }
    std::uint64_t bytes() const { return bytes_; }

   private:
    ByteSource& source_;
    std::uint64_t bytes_ = 0;
  };

  CountingSource counted_;
  LineReader reader_;
  bool hold_unfinished_;
  std::uint64_t base_;
  std::uint64_t lines_;
  std::uint64_t offset_;
  std::uint64_t line_start_;
  std::int64_t headers_left_;
  bool past_first_;
  bool holding_ = false;
  std::string room_;
};

}  // namespace kadrum
