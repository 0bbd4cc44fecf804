#include "import/text_decoder.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "support/memory_byte_source.h"

namespace kadrum {
namespace {

using testing::MemoryByteSource;

// All that "decoder" hands on, read "size" bytes at a time.
std::string all_text(const std::string& data, std::size_t block_size, std::size_t size) {
  MemoryByteSource source(data);
  TextDecoder decoder(source, block_size);
  std::string text;
  std::string buffer(size, '\0');
  while (const std::size_t count = decoder.read(buffer.data(), size)) text.append(buffer, 0, count);
  return text;
}

// "text" (ASCII and code points given as UTF-16 units) in UTF-16LE.
std::string le(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string be(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

// Fault: a UTF-16 file stored 1990 as the four items 1, 9, 9 and 0.
TEST(TextDecoder, Utf16WithMarkBecomesUtf8AndAnythingElsePassesUnchanged) {
  struct Case {
    std::string data;
    std::string text;
  };
  const std::string fffd = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"1990 001 5.5\r\n\x1a", "1990 001 5.5\r\n\x1a"},
      {"\xEF\xBB\xBF" "1 2\n", "\xEF\xBB\xBF" "1 2\n"},
      {"\xFF", "\xFF"},
      {"", ""},
      {le(u"\uFEFF1990 001 5.5\r\n\x1a"), "1990 001 5.5\r\n\x1a"},
      {be(u"\uFEFF1990 001 5.5\r\n"), "1990 001 5.5\r\n"},
      {le(u"\uFEFF\u00e4\u20ac\U0001F600 7"), "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80 7"},
      {be(u"\uFEFF\U0001F600"), "\xF0\x9F\x98\x80"},
      {le(u"\uFEFF") + le(std::u16string(1, 0xD800)) + le(u"1"), fffd + "1"},
      {le(u"\uFEFF") + le(std::u16string(1, 0xDC00)) + le(u"1"), fffd + "1"},
      {le(u"\uFEFF1") + le(std::u16string(1, 0xD83D)), "1" + fffd},
      {le(u"\uFEFF1") + "2", "1" + fffd},
      {le(u"\uFEFF"), ""},
      {"\xFF\xFE" "1", fffd},
  };
  for (const Case& c : cases)
    for (std::size_t block : {std::size_t{4}, std::size_t{5}, std::size_t{64 * 1024}})
      for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{4096}})
        EXPECT_EQ(all_text(c.data, block, size), c.text)
            << "data [" << c.data << "] block " << block << " size " << size;
}

TEST(TextDecoder, Utf32IsRefused) {
  for (const std::string& data : {std::string("\xFF\xFE\0\0" "1\0\0\0", 8),
                                 std::string("\0\0\xFE\xFF\0\0\0" "1", 8)}) {
    MemoryByteSource source(data);
    TextDecoder decoder(source);
    char buffer[16];
    try {
      decoder.read(buffer, sizeof buffer);
      ADD_FAILURE() << "not refused";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Die Textdatei ist in UTF-32 geschrieben; gelesen werden "
                             "8-Bit-Text, UTF-8 und UTF-16 mit Byte-Order-Mark");
    }
  }
}

}  // namespace
}  // namespace kadrum
