#include "import/line_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/error.h"

namespace kadrum {

namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kEndOfText = 26;

// A CR never becomes part of a line. Dropping every CR also covers CR LF,
// since the LF ends the line anyway, even when the pair straddles two blocks.
void append_without_cr(std::string& line, const char* begin, const char* end) {
  while (begin < end) {
    const auto* cr = static_cast<const char*>(
        std::memchr(begin, kCarriageReturn, static_cast<std::size_t>(end - begin)));
    const char* stop = cr ? cr : end;
    line.append(begin, stop);
    begin = cr ? cr + 1 : end;
  }
}

// Where the line that starts at "begin" ends within the "available" bytes
// of the buffer: its "length", and whether a LF or a byte 26 ended it there.
struct LineExtent {
  std::size_t length;
  bool ended_by_lf;
  bool ended_by_eot;
};

LineExtent line_extent(const char* begin, std::size_t available) {
  const auto* lf = static_cast<const char*>(std::memchr(begin, kLineFeed, available));
  std::size_t length = lf ? static_cast<std::size_t>(lf - begin) : available;
  const auto* eot = static_cast<const char*>(std::memchr(begin, kEndOfText, length));
  if (eot) length = static_cast<std::size_t>(eot - begin);
  return {length, lf != nullptr && !eot, eot != nullptr};
}

}  // namespace

std::string long_line_message(std::uint64_t number, std::size_t limit) {
  constexpr std::size_t kMiB = 1024 * 1024;
  const std::string size = limit % kMiB == 0 ? std::to_string(limit / kMiB) + " MiB"
                                             : std::to_string(limit) + " Bytes";
  return fill_message("Zeile %d der Textdatei ist länger als %s", {std::to_string(number), size});
}

namespace {

[[noreturn]] void refuse_long_line(std::uint64_t number, std::size_t limit) {
  throw LineFault(long_line_message(number, limit));
}

}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t buffer_size,
                       std::size_t max_line_length)
    : source_(source),
      buffer_size_(std::max<std::size_t>(buffer_size, 1)),
      max_line_length_(max_line_length),
      buffer_(std::make_unique_for_overwrite<char[]>(buffer_size_)) {}

bool LineReader::fill() {
  if (pos_ < end_) return true;
  if (source_ended_) return false;
  const std::size_t count = source_.read(buffer_.get(), buffer_size_);
  if (count == 0) {
    source_ended_ = true;
    return false;
  }
  source_bytes_ += count;
  pos_ = 0;
  end_ = count;
  return true;
}

void LineReader::read_line(std::string& line) {
  line.clear();
  ++lines_begun_;
  last_line_ended_ = false;
  last_line_cut_ = false;
  while (fill()) {
    const char* begin = buffer_.get() + pos_;
    const auto [length, lf, eot] = line_extent(begin, end_ - pos_);
    // Once cut, the rest of the line is only looked through for its end.
    if (!last_line_cut_) {
      make_room(line, length);
      append_without_cr(line, begin, begin + length);
      if (line.size() > max_line_length_) {
        if (!cut_long_lines_) refuse_long_line(lines_begun_, max_line_length_);
        line.resize(max_line_length_);
        last_line_cut_ = true;
      }
    }
    if (lf || eot) {
      last_line_ended_ = true;
      pos_ += length + 1;
      return;
    }
    pos_ = end_;
  }
}

std::string_view LineReader::next_line(std::string& room) {
  if (fill()) {
    const char* begin = buffer_.get() + pos_;
    const auto [length, lf, eot] = line_extent(begin, end_ - pos_);
    // Whole in the buffer: ended there by a LF or a byte 26, with no CR but
    // the one of a CR LF pair.
    if ((lf || eot) && length <= max_line_length_) {
      const auto* cr =
          static_cast<const char*>(std::memchr(begin, kCarriageReturn, length));
      const bool pair_end = cr && !eot && cr + 1 == begin + length;
      if (!cr || pair_end) {
        ++lines_begun_;
        last_line_ended_ = true;
        last_line_cut_ = false;
        pos_ += length + 1;
        return {begin, pair_end ? length - 1 : length};
      }
    }
  }
  read_line(room);
  return room;
}

void LineReader::make_room(std::string& line, std::size_t more) const {
  const std::size_t needed = line.size() + more;
  if (needed <= line.capacity()) return;
  // Growing copies the line; past half the limit the room goes straight to
  // the most a line can hold before it is refused, so that a long line costs
  // at most about the limit in memory, not twice as much.
  std::size_t room = std::max(needed, 2 * line.capacity());
  if (room > max_line_length_ / 2) room = std::max(needed, max_line_length_ + buffer_size_);
  line.reserve(room);
}

bool LineReader::at_end() {
  return !fill() || buffer_[pos_] == kEndOfText;
}

bool LineReader::exhausted() { return !fill(); }

}  // namespace kadrum
