// A one-line progress display on a terminal, for long imports.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/number_text.h"
#include "cli/text_file.h"

namespace kadrum {

// The display's text: the records stored and the rate, and for a file of
// known size ("bytes_total" > 0) the share read and the time left, both
// from the bytes read so far; numbers in "format".
// "12.345 Datensätze, 41 %, noch 12 s, 10.234 je Sekunde". At most
// "width" columns: a narrow terminal gets the rate, then the time left,
// then the share left out, and at last a cut count.
std::string progress_text(std::uint64_t records, double seconds,
                          std::uint64_t bytes_read, std::uint64_t bytes_total,
                          const NumberFormat& format, std::size_t width = 1000);

// The first of "choices" (longest first) that has at most "width" columns;
// else the last, cut to "width": a line wider than its terminal wraps, and
// the next "\r" then redraws only its last part.
std::string fit_to_width(const std::vector<std::string>& choices, std::size_t width);

// The bytes an import has used up, estimated from the bytes read: reads run
// a whole block ahead of the records, so the share read alone would stand
// still, then jump. The blocks before the last read were used up by the
// records counted when the next one came; that gives the bytes per record.
class ConsumedBytes {
 public:
  // The estimate for "records" stored when "bytes_read" were read, at most
  // "bytes_read"; 0 until a second block was read (nothing known yet).
  std::uint64_t estimate(std::uint64_t records, std::uint64_t bytes_read);

 private:
  std::uint64_t seen_bytes_ = 0;
  std::uint64_t used_bytes_ = 0;
  std::uint64_t used_records_ = 0;
};

class ProgressDisplay {
 public:
  // Shows nothing unless "fd" is a terminal. "file" gives the bytes read
  // and the size; it must outlive the display.
  ProgressDisplay(int fd, const TextFile& file);
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
  const TextFile& file_;
  bool active_;
  bool shown_ = false;
  NumberFormat format_;
  ConsumedBytes consumed_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace kadrum
