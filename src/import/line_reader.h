// Reads a byte source line by line, in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "import/byte_source.h"

namespace kadrum {

// The longest line read: far beyond any line of numbers, yet it keeps a file
// without line ends (or /dev/zero) from taking all memory.
inline constexpr std::size_t kMaxLineLength = 64 * 1024 * 1024;

// Holds one buffer and nothing of lines already returned, so memory does not
// grow with the data. Errors of the source pass through unchanged.
class LineReader {
 public:
  // Reads "source" in blocks of "buffer_size" bytes (at least 1); lines may
  // hold up to "max_line_length" bytes.
  explicit LineReader(ByteSource& source,
                      std::size_t buffer_size = 256 * 1024,
                      std::size_t max_line_length = kMaxLineLength);

  // Replaces "line" with the next line's bytes and passes over its end: a LF,
  // a CR LF, a byte 26 or the end of the data. A CR not followed by LF is
  // dropped and joins its neighbours. With no byte left, "line" becomes
  // empty and the position stays at the end. Throws kadrum::Error naming the
  // line by its number (counted from 1 over all reads) as soon as it grows
  // beyond the limit; nothing more of it is read.
  void read_line(std::string& line);

  // As read_line, without copying a line that lies whole in the buffer: the
  // result then points into the buffer, otherwise into "room", which takes
  // the line as read_line would. Valid until the next call of any reading
  // or testing member.
  std::string_view next_line(std::string& room);

  // From now on a line beyond the limit is cut, not refused: it keeps its
  // first "max_line_length" bytes, the rest up to its line end is read and
  // passed over, and last_line_cut() tells. Memory stays bounded as before.
  void cut_long_lines() { cut_long_lines_ = true; }
  // True when the last line returned was cut (see cut_long_lines).
  bool last_line_cut() const { return last_line_cut_; }
  std::size_t max_line_length() const { return max_line_length_; }

  // For a source that begins after "lines" lines of its file (a resumed
  // read): the numbers in messages then count from the file's start. Call
  // before the first read.
  void count_lines_before(std::uint64_t lines) { lines_begun_ = lines; }

  // True when no byte is left or the next byte is 26. Consumes nothing.
  bool at_end();

  // True only when no byte is left. Consumes nothing.
  bool exhausted();

  // The bytes of the source used up by the lines returned so far: the
  // position just after the last line's end.
  std::uint64_t position() const { return source_bytes_ - (end_ - pos_); }
  // False when the last line returned ran to the end of the data without a
  // line end (a writer may still be in the middle of it).
  bool last_line_ended() const { return last_line_ended_; }

 private:
  // Makes at least one unread byte available; false at the end of the data.
  bool fill();
  // Gives "line" room for "more" bytes.
  void make_room(std::string& line, std::size_t more) const;

  ByteSource& source_;
  std::size_t buffer_size_;
  std::size_t max_line_length_;
  std::uint64_t lines_begun_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool source_ended_ = false;
  std::uint64_t source_bytes_ = 0;
  bool last_line_ended_ = true;
  bool cut_long_lines_ = false;
  bool last_line_cut_ = false;
};

// The message for line "number" grown beyond "limit" bytes.
std::string long_line_message(std::uint64_t number, std::size_t limit);

}  // namespace kadrum
