#include "import/line_reader.h"

#include <algorithm>
#include <cstring>

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

}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t buffer_size)
    : source_(source),
      buffer_size_(std::max<std::size_t>(buffer_size, 1)),
      buffer_(std::make_unique_for_overwrite<char[]>(buffer_size_)) {}

bool LineReader::fill() {
  if (pos_ < end_) return true;
  if (source_ended_) return false;
  const std::size_t count = source_.read(buffer_.get(), buffer_size_);
  if (count == 0) {
    source_ended_ = true;
    return false;
  }
  pos_ = 0;
  end_ = count;
  return true;
}

void LineReader::read_line(std::string& line) {
  line.clear();
  while (fill()) {
    const char* begin = buffer_.get() + pos_;
    const std::size_t available = end_ - pos_;
    const auto* lf =
        static_cast<const char*>(std::memchr(begin, kLineFeed, available));
    std::size_t length = lf ? static_cast<std::size_t>(lf - begin) : available;
    const auto* eot =
        static_cast<const char*>(std::memchr(begin, kEndOfText, length));
    if (eot) length = static_cast<std::size_t>(eot - begin);
    append_without_cr(line, begin, begin + length);
    if (lf || eot) {
      pos_ += length + 1;
      return;
    }
    pos_ = end_;
  }
}

bool LineReader::at_end() {
  return !fill() || buffer_[pos_] == kEndOfText;
}

bool LineReader::exhausted() { return !fill(); }

}  // namespace kadrum
