// Carries converted records from the thread that reads and converts to the
// thread that stores them, in blocks, with a fixed number of blocks.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/value.h"

namespace kadrum {

// One data line's record, converted and ready for the table, with the number
// of its line in the file, so that a record the database refuses is reported
// at its own line.
struct ConvertedRecord {
  std::uint64_t line = 0;
  std::array<Value, 3> values;
  // Kept only while rejects are kept: where the line starts and its text,
  // for the reject of a record the database refuses.
  std::uint64_t start = 0;
  // A line of numbers fits the record itself: no allocation for most.
  void set_text(std::string_view line) {
    if (line.size() <= short_text.size()) {
      line.copy(short_text.data(), line.size());
      short_size = static_cast<std::uint8_t>(line.size());
      long_text.clear();
    } else {
      short_size = kLong;
      long_text.assign(line);
    }
  }
  std::string_view text() const {
    return short_size == kLong ? std::string_view(long_text)
                               : std::string_view(short_text.data(), short_size);
  }
  static constexpr std::uint8_t kLong = 255;
  std::array<char, 62> short_text;
  std::uint8_t short_size = 0;
  std::string long_text;
  // No record but a line rejected on the converting side, "text" cut as
  // "cut" says: its reject is written in its place, with "reason".
  bool rejected = false;
  bool cut = false;
  std::string reason;
};

using RecordBlock = std::vector<ConvertedRecord>;

// How many records a block holds and how many blocks exist: the converting
// side can run at most this far ahead of the storing side, whatever the size
// of the file.
inline constexpr std::size_t kHandOverBlockRecords = 512;
inline constexpr std::size_t kHandOverBlocks = 8;

// A fixed set of blocks circulates: the converting side fills an empty block
// and hands it over full; the storing side stores it and gives it back empty.
// Neither side ever waits without end for the other: stop() (by either side,
// on a failure) wakes both, and every wait ends with it.
class RecordHandOver {
 public:
  explicit RecordHandOver(std::size_t blocks = kHandOverBlocks,
                          std::size_t block_records = kHandOverBlockRecords);
  RecordHandOver(const RecordHandOver&) = delete;
  RecordHandOver& operator=(const RecordHandOver&) = delete;

  std::size_t block_records() const { return block_records_; }

  // Converting side: waits for an empty block (its room reserved, its
  // records cleared); nothing once stopped.
  std::optional<RecordBlock> take_empty();
  // Converting side: hands "block" over to be stored, in order.
  void hand_full(RecordBlock block);
  // Converting side: no more blocks will come.
  void finish();

  // Storing side: waits for the next full block; nothing once finished and
  // every block taken, or once stopped.
  std::optional<RecordBlock> take_full();
  // Storing side: returns a stored block for reuse.
  void give_back(RecordBlock block);

  // Either side: ends every wait now and from now on.
  void stop();

 private:
  const std::size_t block_records_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<RecordBlock> empty_;
  std::deque<RecordBlock> full_;
  bool finished_ = false;
  bool stopped_ = false;
};

}  // namespace kadrum
