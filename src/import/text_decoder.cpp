#include "import/text_decoder.h"

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "base/utf8.h"

namespace kadrum {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool is_high_surrogate(std::uint16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(std::uint16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }


}  // namespace

TextDecoder::TextDecoder(ByteSource& source, std::size_t block_size)
    : source_(source),
      block_size_(std::max<std::size_t>(block_size, 4)),
      input_(std::make_unique_for_overwrite<char[]>(block_size_)) {}

bool TextDecoder::have(std::size_t wanted) {
  while (in_end_ - in_pos_ < wanted && !source_ended_) {
    if (in_pos_ > 0) {
      std::memmove(input_.get(), input_.get() + in_pos_, in_end_ - in_pos_);
      in_end_ -= in_pos_;
      in_pos_ = 0;
    }
    const std::size_t count = source_.read(input_.get() + in_end_, block_size_ - in_end_);
    if (count == 0)
      source_ended_ = true;
    else
      in_end_ += count;
  }
  return in_end_ - in_pos_ >= wanted;
}

void TextDecoder::recognise() {
  form_ = Form::bytes;
  if (!have(2)) return;
  const auto* head = reinterpret_cast<const unsigned char*>(input_.get() + in_pos_);
  if (head[0] == 0xFF && head[1] == 0xFE) {
    form_ = Form::utf16le;
  } else if (head[0] == 0xFE && head[1] == 0xFF) {
    form_ = Form::utf16be;
  } else if (head[0] != 0x00 || head[1] != 0x00) {
    return;
  }
  // FF FE 00 00 and 00 00 FE FF mark UTF-32, which read as UTF-16 or as
  // bytes would split every number into single digits.
  if (have(4)) {
    head = reinterpret_cast<const unsigned char*>(input_.get() + in_pos_);
    const bool utf32 = (head[0] == 0xFF && head[1] == 0xFE && head[2] == 0 && head[3] == 0) ||
                       (head[0] == 0 && head[1] == 0 && head[2] == 0xFE && head[3] == 0xFF);
    if (utf32)
      throw Error("Die Textdatei ist in UTF-32 geschrieben; gelesen werden 8-Bit-Text, "
                  "UTF-8 und UTF-16 mit Byte-Order-Mark");
  }
  if (form_ != Form::bytes) in_pos_ += 2;  // the mark is no text
}

std::uint16_t TextDecoder::take_unit() {
  const auto* at = reinterpret_cast<const unsigned char*>(input_.get() + in_pos_);
  in_pos_ += 2;
  return form_ == Form::utf16le ? static_cast<std::uint16_t>(at[0] | (at[1] << 8))
                                : static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}

bool TextDecoder::decode_next() {
  char32_t c = kReplacement;
  if (!have(2)) {
    if (in_pos_ == in_end_) return false;
    in_pos_ = in_end_;  // an odd last byte
  } else {
    const std::uint16_t unit = take_unit();
    if (is_high_surrogate(unit)) {
      if (have(2)) {
        const auto* next = reinterpret_cast<const unsigned char*>(input_.get() + in_pos_);
        const std::uint16_t low = form_ == Form::utf16le
                                      ? static_cast<std::uint16_t>(next[0] | (next[1] << 8))
                                      : static_cast<std::uint16_t>((next[0] << 8) | next[1]);
        if (is_low_surrogate(low)) {
          in_pos_ += 2;
          c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
        }
      }
    } else if (!is_low_surrogate(unit)) {
      c = unit;
    }
  }
  pending_pos_ = 0;
  pending_end_ = utf8_encode(c, pending_);
  return true;
}

std::size_t TextDecoder::read(char* buffer, std::size_t size) {
  if (form_ == Form::unknown) recognise();
  if (form_ == Form::bytes) {
    // What recognise() looked at is handed on first.
    if (in_pos_ < in_end_) {
      const std::size_t count = std::min(size, in_end_ - in_pos_);
      std::memcpy(buffer, input_.get() + in_pos_, count);
      in_pos_ += count;
      return count;
    }
    return source_ended_ ? 0 : source_.read(buffer, size);
  }
  std::size_t out = 0;
  while (out < size) {
    if (pending_pos_ < pending_end_) {
      buffer[out++] = pending_[pending_pos_++];
      continue;
    }
    // With something to hand on, do not wait for a pipe to bring more.
    if (out > 0 && in_end_ - in_pos_ < 2) break;
    if (!decode_next()) break;
  }
  return out;
}

}  // namespace kadrum
