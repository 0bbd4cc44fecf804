#include "cli/progress_display.h"

#include <cmath>
#include <cstdio>

#include "base/console.h"
#include "base/utf8.h"

namespace kadrum {

namespace {

constexpr auto kInterval = std::chrono::milliseconds(200);

// "12 s", "3 min 05 s", "2 h 07 min".
std::string duration_text(double seconds) {
  const long whole = std::lround(seconds);
  char text[48];
  if (whole < 60)
    std::snprintf(text, sizeof text, "%ld s", whole);
  else if (whole < 3600)
    std::snprintf(text, sizeof text, "%ld min %02ld s", whole / 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld h %02ld min", whole / 3600, whole / 60 % 60);
  return text;
}

}  // namespace

std::string fit_to_width(const std::vector<std::string>& choices, std::size_t width) {
  for (const std::string& choice : choices)
    if (utf8_length(choice) <= width) return choice;
  return choices.empty() ? std::string() : std::string(utf8_prefix(choices.back(), width));
}

std::string progress_text(std::uint64_t records, double seconds,
                          std::uint64_t bytes_read, std::uint64_t bytes_total,
                          const NumberFormat& format, std::size_t width) {
  const std::string count = format_count(records, format) + " Datensätze";
  const double rate = seconds > 0 ? static_cast<double>(records) / seconds : 0;
  const std::string per_second = ", " + format_fixed(rate, 0, format) + " je Sekunde";
  // A file that grew while it is read may pass its first size.
  if (bytes_total > 0 && bytes_read > 0 && bytes_read <= bytes_total) {
    const double share = static_cast<double>(bytes_read) / static_cast<double>(bytes_total);
    const std::string percent =
        ", " + format_count(static_cast<std::uint64_t>(share * 100), format) + " %";
    const std::string left = ", noch " + duration_text(seconds * (1 - share) / share);
    return fit_to_width({count + percent + left + per_second, count + percent + left,
                         count + percent, count},
                        width);
  }
  return fit_to_width({count + per_second, count}, width);
}

std::uint64_t ConsumedBytes::estimate(std::uint64_t records, std::uint64_t bytes_read) {
  if (bytes_read != seen_bytes_) {
    used_bytes_ = seen_bytes_;
    used_records_ = records;
    seen_bytes_ = bytes_read;
  }
  if (used_bytes_ == 0 || used_records_ == 0) return 0;
  const double per_record = static_cast<double>(used_bytes_) / static_cast<double>(used_records_);
  const double estimate = per_record * static_cast<double>(records);
  return estimate < static_cast<double>(bytes_read) ? static_cast<std::uint64_t>(estimate)
                                                    : bytes_read;
}

ProgressDisplay::ProgressDisplay(int fd, const TextFile& file)
    : fd_(fd),
      file_(file),
      active_(is_terminal(fd)),
      format_(active_ ? user_number_format() : NumberFormat{}),
      start_(std::chrono::steady_clock::now()),
      last_(start_) {}

ProgressDisplay::~ProgressDisplay() {
  if (shown_) {
    write_text(fd_, "\r\033[K");
  }
}

void ProgressDisplay::redraw(std::uint64_t records) {
  const auto now = std::chrono::steady_clock::now();
  // The first second stays quiet: short imports need no display.
  if (now - last_ < kInterval || now - start_ < std::chrono::seconds(1)) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const std::uint64_t used = consumed_.estimate(records, file_.bytes_read());
  // The last column stays free: a line that fills it wraps on some terminals.
  const int columns = terminal_width(fd_);
  const std::size_t width = columns > 1 ? static_cast<std::size_t>(columns - 1) : 1;
  const std::string line =
      "\r\033[K" + progress_text(records, seconds, used, file_.size(), format_, width);
  write_text(fd_, line);
  shown_ = true;
}

}  // namespace kadrum
