// What a run that keeps bad lines aside is told of each: the one loop of
// every import (import_lines) hands it the line whose row failed, and goes
// on when it takes the line.
#pragma once

#include <cstdint>
#include <exception>
#include <string_view>

namespace kadrum {

// A data line whose row could not become a record.
struct RejectedLine {
  std::uint64_t line = 0;        // its number in the file, header lines counted
  std::uint64_t byte_offset = 0; // where it starts in the file
  std::uint64_t end_offset = 0;  // the file's byte just after its line end
  std::string_view text;         // as read, without its line end
  bool cut = false;              // longer than the reader keeps; "text" is its start
};

class LineRejects {
 public:
  virtual ~LineRejects() = default;
  // Keeps "line", whose row failed with "error", as a reject and returns
  // true: the run goes on with the next line. Returns false when "error"
  // is no fault of the line alone or no more rejects are accepted: the
  // caller then fails as it would without rejects. Throws when the reject
  // cannot be kept.
  virtual bool reject(const RejectedLine& line, const std::exception& error) = 0;
};

}  // namespace kadrum
