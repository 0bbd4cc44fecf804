#include "cli/text_file.h"

#include <algorithm>
#include <atomic>

#include "base/console.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/integer_text.h"
#include "convert/locale_formats.h"
#include "import/import_run.h"

namespace kadrum {

namespace {

[[noreturn]] void rethrow_named(const std::string& label, const Error& error) {
  throw Error(label + ": " + innermost_message(error));
}

// The bytes left in a regular file: what a progress share can count on.
std::uint64_t regular_file_size(const std::string& name, const FileInfo& info) {
  if (name.empty()) {
    const std::int64_t offset = seek_to(0, -1);
    if (offset > 0 && static_cast<std::uint64_t>(offset) <= info.size)
      return info.size - static_cast<std::uint64_t>(offset);
  }
  return info.size;
}

// Once per run, however many files it reads.
void tell_decimal_comma(std::uint64_t line) {
  static std::atomic<bool> told{false};
  if (told.exchange(true)) return;
  // Over a progress line, which would otherwise run into it.
  const std::string clear = is_terminal(2) ? "\r\033[K" : "";
  write_text(2, clear + "Hinweis: Zeile " + std::to_string(line) +
                    ": das Komma zwischen Ziffern trennt Items, es ist kein Dezimalkomma "
                    "(--decimal=. für Dateien mit Dezimalpunkt)\n");
}

}  // namespace

std::string text_file_label(const RunSettings& settings) {
  return settings.text_file.empty() ? "(Standardeingabe)" : settings.text_file;
}

TextFile::TextFile(const RunSettings& settings) : label_(text_file_label(settings)) {
  try {
    source_ = open_text_file(settings);
  } catch (const Error& error) {
    rethrow_named(label_, error);
  }
  const std::string& name = settings.text_file;
  FileInfo info;
  regular_ = (name.empty() ? file_info(0, info) : file_info(name, info)) && info.regular;
  size_ = regular_ ? regular_file_size(name, info) : 0;
  if (locale_formats().decimal_separator == ",") {
    // A header count that is no number fails the run before any line.
    try {
      headers_ = std::max<std::int64_t>(integer_text_value(settings.header_lines), 0);
      watch_ = true;
    } catch (const Error&) {
    }
  }
}

void TextFile::watch_commas(const char* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size && watch_; ++i) {
    const char c = bytes[i];
    if (c == '\n') {
      ++line_;
      after_digit_ = after_digit_comma_ = false;
      continue;
    }
    const bool digit = c >= '0' && c <= '9';
    if (digit && after_digit_comma_ && line_ > static_cast<std::uint64_t>(headers_)) {
      tell_decimal_comma(line_);
      watch_ = false;
    }
    after_digit_comma_ = after_digit_ && c == ',';
    after_digit_ = digit;
  }
}

std::size_t TextFile::read(char* buffer, std::size_t size) {
  try {
    const std::size_t n = source_->read(buffer, size);
    bytes_read_.fetch_add(n, std::memory_order_relaxed);
    if (watch_) watch_commas(buffer, n);
    return n;
  } catch (const Error& error) {
    rethrow_named(label_, error);
  }
}

}  // namespace kadrum
