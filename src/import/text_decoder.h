// Text files in UTF-16 with a byte-order mark, handed on as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "import/byte_source.h"

namespace kadrum {

// A byte source that reads another one and hands on UTF-8. Data beginning
// with the UTF-16 byte-order mark (FF FE little-endian, FE FF big-endian) is
// decoded as it is read, the mark dropped: a line end, a byte 26 and the
// item characters stay single bytes, so lines and items come out as in an
// 8-bit file. Any other data passes through unchanged, a UTF-8 mark
// included. Holds two small buffers, whatever the size of the data.
class TextDecoder : public ByteSource {
 public:
  // Reads "source" in blocks of "block_size" bytes (at least 4). Nothing is
  // read before the first read().
  explicit TextDecoder(ByteSource& source, std::size_t block_size = 64 * 1024);

  // As ByteSource::read. A surrogate without its partner and an odd last
  // byte become U+FFFD. Throws kadrum::Error for data that begins with a
  // UTF-32 byte-order mark, and passes the source's errors on.
  std::size_t read(char* buffer, std::size_t size) override;

 private:
  enum class Form { unknown, bytes, utf16le, utf16be };

  void recognise();
  // Tops up the input until "wanted" unread bytes are there; false when the
  // data ends before.
  bool have(std::size_t wanted);
  std::uint16_t take_unit();
  // Decodes the next character into pending_; false at the end of the data.
  bool decode_next();

  ByteSource& source_;
  Form form_ = Form::unknown;
  std::size_t block_size_;
  std::unique_ptr<char[]> input_;
  std::size_t in_pos_ = 0;
  std::size_t in_end_ = 0;
  bool source_ended_ = false;
  char pending_[4] = {};  // one character's UTF-8 bytes not yet handed on
  std::size_t pending_pos_ = 0;
  std::size_t pending_end_ = 0;
};

}  // namespace kadrum
