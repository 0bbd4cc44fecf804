// A one-line progress display on a terminal, for long imports.
#pragma once

#include <chrono>
#include <cstdint>

namespace kadrum {

class ProgressDisplay {
 public:
  // Shows nothing unless "fd" is a terminal.
  explicit ProgressDisplay(int fd);
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;
  ~ProgressDisplay();  // clears the line

  // Called once per stored record; redraws at most a few times a second.
  void record_stored(std::uint64_t records) {
    if (active_ && (records & 0x3ff) == 0) redraw(records);
  }

 private:
  void redraw(std::uint64_t records);

  int fd_;
  bool active_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace kadrum
