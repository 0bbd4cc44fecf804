#include "import/line_reader.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "support/memory_byte_source.h"

namespace kadrum {
namespace {

using testing::MemoryByteSource;

using Lines = std::vector<std::string>;

// Small buffers put every line end, CR LF pair and byte 26 on a block edge.
const std::size_t kBufferSizes[] = {1, 2, 3, 5, 256 * 1024};

Lines all_lines(const std::string& data, std::size_t buffer_size) {
  MemoryByteSource source(data);
  LineReader reader(source, buffer_size);
  Lines lines;
  std::string line;
  // By turns, the two ways to read a line must agree.
  while (!reader.exhausted()) {
    if (lines.size() % 2 == 0) {
      reader.read_line(line);
      lines.emplace_back(line);
    } else {
      lines.emplace_back(reader.next_line(line));
    }
  }
  return lines;
}

struct LinesCase {
  std::string data;
  Lines expected;
};

void run_cases(const std::vector<LinesCase>& cases) {
  for (const LinesCase& c : cases)
    for (std::size_t size : kBufferSizes)
      EXPECT_EQ(all_lines(c.data, size), c.expected)
          << "data: [" << c.data << "] buffer " << size;
}

TEST(LineReader, LineEndsAtLfOrCrLfAndPassesOverIt) {
  run_cases({
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"ab\r\ncd\nef", {"ab", "cd", "ef"}},
      {"\r\n", {""}},
      {"a\r\r\nb", {"a", "b"}},
  });
}

TEST(LineReader, LoneCrIsDroppedAndJoinsItsNeighbours) {
  run_cases({
      {"12\r34\n", {"1234"}},
      {"a\rb\rc\r", {"abc"}},
      {"\r", {""}},
      {"\r\r\r\n\r", {"", ""}},
      {"a\r\x1a" "b", {"a", "b"}},
  });
}

TEST(LineReader, Byte26EndsItsLineAndIsPassedOver) {
  run_cases({
      {"ab\x1a" "cd\n", {"ab", "cd"}},
      {"\x1a", {""}},
      {"a\n\x1a" "b", {"a", "", "b"}},
      {"\x1a\x1a", {"", ""}},
  });
}

TEST(LineReader, EndOfDataEndsTheLastLine) {
  run_cases({
      {"", {}},
      {"a", {"a"}},
      {"a\nb", {"a", "b"}},
      {"\n\n", {"", ""}},
      {"a\n\nb\n\n", {"a", "", "b", ""}},
  });
}

TEST(LineReader, OtherBytesAreKeptAsTheyAre) {
  run_cases({
      {"\xEF\xBB\xBF" "1 2\n", {"\xEF\xBB\xBF" "1 2"}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
      {"\t\x0b\x0c\xff\n", {"\t\x0b\x0c\xff"}},
  });
}

TEST(LineReader, VeryLongLineUpToTheLimitIsWhole) {
  std::string long_line(1'000'003, '7');
  long_line[500'000] = ' ';
  std::string data = long_line.substr(0, 700'000) + "\r" +
                     long_line.substr(700'000) + "\r\nx";
  for (std::size_t size : {std::size_t{3}, std::size_t{4096}, std::size_t{256 * 1024}})
    EXPECT_EQ(all_lines(data, size), (Lines{long_line, "x"})) << size;
}

// A line beyond the limit stops the reading with the line's number; the CRs
// that are dropped do not count, and a resumed read counts from its file's
// start.
TEST(LineReader, LineBeyondTheLimitIsRefusedByItsNumber) {
  struct Case {
    std::string data;
    const char* message;  // nullptr: read whole
    std::uint64_t lines_before = 0;  // in the file, before the source's start
  };
  const Case cases[] = {
      {"1234567890\n", nullptr},
      {"12345\r\r67890\r\n", nullptr},
      {"12345678901\n", "Zeile 1 der Textdatei ist länger als 10 Bytes"},
      {"a\n\x1a" "12345678901", "Zeile 3 der Textdatei ist länger als 10 Bytes"},
      {"a\n12345678901", "Zeile 9 der Textdatei ist länger als 10 Bytes", 7},
  };
  for (const Case& c : cases) {
    for (std::size_t size : kBufferSizes) {
      MemoryByteSource source(c.data);
      LineReader reader(source, size, 10);
      reader.count_lines_before(c.lines_before);
      std::string line;
      try {
        while (!reader.exhausted()) reader.read_line(line);
        EXPECT_EQ(c.message, nullptr) << c.data << " " << size;
      } catch (const Error& e) {
        ASSERT_NE(c.message, nullptr) << c.data << " " << size;
        EXPECT_STREQ(e.what(), c.message);
      }
    }
  }
  // The default limit: 64 MiB, and no more of a line without end is read.
  MemoryByteSource endless(std::string(65 * 1024 * 1024, '0'));
  LineReader reader(endless);
  std::string line;
  try {
    reader.read_line(line);
    FAIL() << "no limit";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Zeile 1 der Textdatei ist länger als 64 MiB");
  }
  EXPECT_LE(endless.served(), kMaxLineLength + 256 * 1024);
}

// Fault caught: a cut line took the bytes after its limit as the next
// line, or a line under the limit came cut.
TEST(LineReader, CutLineKeepsItsStartAndTheNextLineFollowsWhole) {
  const LinesCase cases[] = {
      {"1234567890\nab\n", {"1234567890", "ab"}},
      {"12345678901234\r\nab\n", {"1234567890", "ab"}},
      {"123456789012\x1a" "ab", {"1234567890", "ab"}},
      {"a\n1234567890123", {"a", "1234567890"}},
  };
  for (const LinesCase& c : cases) {
    for (std::size_t size : kBufferSizes) {
      MemoryByteSource source(c.data);
      LineReader reader(source, size, 10);
      reader.cut_long_lines();
      Lines lines;
      std::vector<bool> cut;
      std::string room;
      while (!reader.exhausted()) {
        lines.emplace_back(reader.next_line(room));
        cut.push_back(reader.last_line_cut());
      }
      EXPECT_EQ(lines, c.expected) << c.data << " " << size;
      for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(cut[i], c.data.find(lines[i] + "1") != std::string::npos) << c.data;
    }
  }
}

TEST(LineReader, ReadingPastTheEndYieldsEmptyLines) {
  for (std::size_t size : kBufferSizes) {
    MemoryByteSource source("a");
    LineReader reader(source, size);
    std::string line = "stale";
    reader.read_line(line);
    EXPECT_EQ(line, "a");
    for (int i = 0; i < 3; ++i) {
      line = "stale";
      reader.read_line(line);
      EXPECT_EQ(line, "");
      EXPECT_TRUE(reader.exhausted());
      EXPECT_TRUE(reader.at_end());
    }
  }
}

struct EndCase {
  std::string data;
  int lines_read;
  bool at_end;
  bool exhausted;
};

TEST(LineReader, EndTestSeesNoByteLeftOrByte26) {
  const EndCase cases[] = {
      {"", 0, true, true},
      {"a", 1, true, true},
      {"a\n", 1, true, true},
      {"a\r\n", 1, true, true},
      {"a\nb", 1, false, false},
      {"a\n\n", 1, false, false},
      {"\x1a", 0, true, false},
      {"a\n\x1a" "b", 1, true, false},
      {"a\x1a\x1a", 1, true, false},
      {"a\n\r\x1a", 1, false, false},
  };
  for (const EndCase& c : cases) {
    for (std::size_t size : kBufferSizes) {
      MemoryByteSource source(c.data);
      LineReader reader(source, size);
      std::string line;
      for (int i = 0; i < c.lines_read; ++i) reader.read_line(line);
      EXPECT_EQ(reader.at_end(), c.at_end) << "[" << c.data << "] " << size;
      EXPECT_EQ(reader.exhausted(), c.exhausted) << "[" << c.data << "] " << size;
    }
  }
}

TEST(LineReader, EndTestConsumesNothing) {
  for (std::size_t size : kBufferSizes) {
    MemoryByteSource source("a\n\x1a" "b");
    LineReader reader(source, size);
    std::string line;
    reader.read_line(line);
    EXPECT_TRUE(reader.at_end());
    EXPECT_TRUE(reader.at_end());
    EXPECT_FALSE(reader.exhausted());
    reader.read_line(line);
    EXPECT_EQ(line, "");
    reader.read_line(line);
    EXPECT_EQ(line, "b");
  }
}

TEST(LineReader, ReadFailureSurfacesAtTheLineItHitsAfterEarlierLines) {
  for (std::size_t size : kBufferSizes) {
    MemoryByteSource source("a\nb\nc\n", 3, "E/A-Fehler 5");
    LineReader reader(source, size);
    std::string line;
    reader.read_line(line);
    EXPECT_EQ(line, "a");
    EXPECT_THROW(reader.read_line(line), Error) << size;
  }
}

// Counts the reads so that a reader asking per byte or per line shows.
class CountingSource : public MemoryByteSource {
 public:
  using MemoryByteSource::MemoryByteSource;
  std::size_t read(char* buffer, std::size_t size) override {
    ++reads;
    return MemoryByteSource::read(buffer, size);
  }
  int reads = 0;
};

TEST(LineReader, ReadsInLargeBlocksNotPerLine) {
  std::string data;
  while (data.size() < 1'000'000) data += "1990 001 1.5\r\n";
  CountingSource source(data);
  LineReader reader(source);
  std::string line;
  std::size_t lines = 0;
  while (!reader.exhausted()) {
    reader.read_line(line);
    ++lines;
  }
  EXPECT_EQ(lines, data.size() / 14);
  EXPECT_LE(source.reads, 6);
}

}  // namespace
}  // namespace kadrum
