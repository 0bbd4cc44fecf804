// Fuzzes the UTF-16 decoding in front of the line reader
// (import/text_decoder.h). The first byte sets the decoder's block size and
// how many bytes the source and the reader take per call; the rest is the
// file. The output must be what a plain model of the rule gives, whatever the
// block boundaries: UTF-16 with a mark becomes UTF-8 (lone surrogates and an
// odd last byte as U+FFFD), a UTF-32 mark is refused, anything else passes
// unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "base/error.h"
#include "support/memory_byte_source.h"
#include "fuzz_check.h"
#include "import/text_decoder.h"

namespace {

using kadrum::fuzz::require;

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The whole decoding of "data" in one go; "refused" for a UTF-32 mark.
std::string model(std::string_view data, bool& refused) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
  refused = data.size() >= 4 && ((byte(0) == 0xFF && byte(1) == 0xFE && byte(2) == 0 && byte(3) == 0) ||
                                 (byte(0) == 0 && byte(1) == 0 && byte(2) == 0xFE && byte(3) == 0xFF));
  if (refused) return {};
  const bool little = data.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
  const bool big = data.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
  if (!little && !big) return std::string(data);
  const auto unit = [&](std::size_t i) -> char32_t {
    return little ? byte(i) | (byte(i + 1) << 8) : (byte(i) << 8) | byte(i + 1);
  };
  std::string out;
  std::size_t i = 2;
  while (i < data.size()) {
    if (i + 1 == data.size()) {
      append_utf8(out, 0xFFFD);
      break;
    }
    const char32_t u = unit(i);
    i += 2;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < data.size() && unit(i) >= 0xDC00 && unit(i) <= 0xDFFF) {
      append_utf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i) - 0xDC00));
      i += 2;
    } else {
      append_utf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t block = 4 + bytes[0] % 13;
  const std::size_t chunk = 1 + (bytes[0] >> 4);
  const std::string_view data(reinterpret_cast<const char*>(bytes + 1), size - 1);

  bool refused = false;
  const std::string expected = model(data, refused);
  kadrum::testing::MemoryByteSource source(
      std::string(data), std::numeric_limits<std::size_t>::max(), kadrum::testing::kReadFailure,
      chunk);
  kadrum::TextDecoder decoder(source, block);
  std::string got;
  try {
    char buffer[7];
    for (std::size_t n; (n = decoder.read(buffer, 1 + got.size() % sizeof buffer)) > 0;)
      got.append(buffer, n);
  } catch (const kadrum::Error&) {
    require(refused, "only a UTF-32 mark is refused", data);
    return 0;
  }
  require(!refused, "a UTF-32 mark is refused", data);
  require(got == expected, "decoded text differs from the model", data);
  return 0;
}
