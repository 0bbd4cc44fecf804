// Fuzzes the line reader (import/line_reader.h) with item extraction
// (import/item.h). The first three bytes set the reader's buffer size, the
// most bytes the source hands over per read, and where the source fails; the
// rest is the data. Lines, end tests and items must agree with plain models of
// the documented rules, whatever the block boundaries, and a read failure must
// pass through unchanged at exactly the line whose bytes it cuts off, for
// lines copied (read_line) and lines viewed in the buffer (next_line) alike.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "import/byte_source.h"
#include "import/item.h"
#include "import/line_reader.h"
#include "support/memory_byte_source.h"
#include "fuzz_check.h"

namespace {

using kadrum::fuzz::require;

constexpr char kEndOfText = 26;

// The next line of "data" from "pos" by the documented rule; "pos" moves
// past its end, and "last" becomes the index of the byte that ended it (the
// data's size when the data ended it).
std::string model_line(std::string_view data, std::size_t& pos, std::size_t& last) {
  std::string line;
  while (pos < data.size()) {
    const char c = data[pos++];
    if (c == '\n' || c == kEndOfText) {
      last = pos - 1;
      return line;
    }
    if (c != '\r') line += c;
  }
  last = data.size();
  return line;
}

bool is_item_character(char c) { return c >= '-' && c <= '9'; }

std::vector<std::string_view> model_items(std::string_view line) {
  std::vector<std::string_view> items;
  std::size_t i = 0;
  while (i < line.size()) {
    if (!is_item_character(line[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < line.size() && is_item_character(line[i])) ++i;
    items.push_back(line.substr(start, i - start));
  }
  return items;
}

void check_item(std::string_view line, std::string_view item,
                std::string_view expected) {
  require(item == expected, "item differs from the model", line);
  if (item.empty()) return;
  require(item.data() >= line.data() &&
              item.data() + item.size() <= line.data() + line.size(),
          "item is no view into its line", line);
  for (const char c : item)
    require(is_item_character(c), "item holds a non-item character", line);
}

void check_items(std::string_view line) {
  const kadrum::ItemCharacters& set = kadrum::item_characters();
  const std::vector<std::string_view> expected = model_items(line);
  const auto count = static_cast<std::int32_t>(expected.size());
  const auto model = [&](std::int32_t n) {
    return n >= 1 && n <= count ? expected[n - 1] : std::string_view{};
  };

  kadrum::ItemWalk rising(line, set);
  for (std::int32_t n = 1; n <= count + 1; ++n)
    check_item(line, rising.item(n), model(n));

  // Going back, skipping, asking twice and numbers out of range, mixed.
  const std::int32_t mixed[] = {2, 2, 1, count, 0, 3, count + 1, -1, 1,
                                std::numeric_limits<std::int32_t>::max(), 2,
                                std::numeric_limits<std::int32_t>::min(), count};
  kadrum::ItemWalk walk(line, set);
  for (const std::int32_t n : mixed) {
    check_item(line, walk.item(n), model(n));
    check_item(line, kadrum::get_item(line, n, set), model(n));
  }
}

std::size_t buffer_size_from(std::uint8_t byte) {
  return byte == 0xFF ? 256 * 1024 : 1 + byte % 64;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size < 3) return 0;
  const std::size_t buffer_size = buffer_size_from(bytes[0]);
  const std::size_t chunk = 1 + bytes[1];
  const std::size_t fail_after = bytes[2] == 0
                                     ? std::numeric_limits<std::size_t>::max()
                                     : bytes[2] - 1u;
  const std::string_view data(reinterpret_cast<const char*>(bytes + 3), size - 3);

  kadrum::testing::MemoryByteSource source(std::string(data), fail_after,
                                           kadrum::testing::kReadFailure, chunk);
  kadrum::LineReader reader(source, buffer_size);
  std::size_t pos = 0;  // where the model stands
  std::string line;
  std::size_t lines = 0;
  try {
    for (;;) {
      bool exhausted = false;
      try {
        exhausted = reader.exhausted();
      } catch (const kadrum::Error&) {
        require(pos >= fail_after, "a read failure surfaced too early", data);
        throw;
      }
      require(pos < fail_after, "a read failure did not surface", data);
      require(exhausted == (pos == data.size()), "exhausted() is wrong", data);
      require(reader.at_end() ==
                  (pos == data.size() || data[pos] == kEndOfText),
              "at_end() is wrong", data);
      if (exhausted) break;

      std::size_t last = 0;
      const std::string expected = model_line(data, pos, last);
      // By turns the copying and the viewing read.
      std::string_view got;
      try {
        if (++lines % 2 == 0) {
          got = reader.next_line(line);
        } else {
          reader.read_line(line);
          got = line;
        }
      } catch (const kadrum::Error&) {
        require(last >= fail_after, "a read failure surfaced too early", data);
        throw;
      }
      require(last < fail_after, "a read failure did not surface", data);
      require(got == expected, "line differs from the model", data);
      check_items(got);
    }
    line = "stale";
    reader.read_line(line);
    require(line.empty() && reader.exhausted() && reader.at_end(),
            "reading past the end yields more than an empty line", data);
  } catch (const kadrum::Error& error) {
    require(std::string_view(error.what()) == kadrum::testing::kReadFailure,
            "the read failure's message changed", data);
  }
  return 0;
}
