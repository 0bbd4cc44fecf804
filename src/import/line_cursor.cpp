#include "import/line_cursor.h"

namespace kadrum {

LineCursor::LineCursor(ByteSource& source, const CursorStart& start, bool hold_unfinished,
                       std::size_t buffer_size)
    : counted_(source),
      reader_(counted_, buffer_size),
      hold_unfinished_(hold_unfinished),
      base_(start.offset),
      lines_(start.lines),
      offset_(start.offset),
      line_start_(start.offset),
      headers_left_(start.headers_left),
      past_first_(start.past_first_data_line) {
  reader_.count_lines_before(start.lines);
}

bool LineCursor::next(std::string_view& line) {
  // Header lines past the end of the data would only be empty.
  while (headers_left_ > 0) {
    if (reader_.exhausted()) return false;
    reader_.read_line(room_);
    if (hold_unfinished_ && !reader_.last_line_ended()) {
      holding_ = true;
      return false;
    }
    --headers_left_;
    ++lines_;
    offset_ = base_ + reader_.position();
  }
  if (past_first_ ? reader_.at_end() : reader_.exhausted()) return false;
  const std::string_view text = reader_.next_line(room_);
  if (hold_unfinished_ && !reader_.last_line_ended()) {
    holding_ = true;
    return false;
  }
  line_start_ = offset_;
  offset_ = base_ + reader_.position();
  ++lines_;
  past_first_ = true;
  line = text;
  return true;
}

}  // namespace kadrum
