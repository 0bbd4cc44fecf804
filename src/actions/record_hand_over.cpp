#include "actions/record_hand_over.h"

#include <algorithm>
#include <utility>

namespace kadrum {

RecordHandOver::RecordHandOver(std::size_t blocks, std::size_t block_records)
    : block_records_(std::max<std::size_t>(block_records, 1)) {
  // All room is taken here, once: the run itself allocates no blocks.
  for (std::size_t i = 0; i < std::max<std::size_t>(blocks, 1); ++i) {
    RecordBlock block;
    block.reserve(block_records_);
    empty_.push_back(std::move(block));
  }
}

std::optional<RecordBlock> RecordHandOver::take_empty() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopped_ || !empty_.empty(); });
  if (stopped_) return std::nullopt;
  RecordBlock block = std::move(empty_.front());
  empty_.pop_front();
  return block;
}

void RecordHandOver::hand_full(RecordBlock block) {
  {
    const std::lock_guard lock(mutex_);
    full_.push_back(std::move(block));
  }
  changed_.notify_all();
}

void RecordHandOver::finish() {
  {
    const std::lock_guard lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

std::optional<RecordBlock> RecordHandOver::take_full() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopped_ || finished_ || !full_.empty(); });
  if (stopped_ || full_.empty()) return std::nullopt;
  RecordBlock block = std::move(full_.front());
  full_.pop_front();
  return block;
}

void RecordHandOver::give_back(RecordBlock block) {
  // Values are cleared on the storing side, which has the time to spare.
  block.clear();
  {
    const std::lock_guard lock(mutex_);
    empty_.push_back(std::move(block));
  }
  changed_.notify_all();
}

void RecordHandOver::stop() {
  {
    const std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

}  // namespace kadrum
