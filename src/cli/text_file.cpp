#include "cli/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/error.h"
#include "import/import_run.h"

namespace kadrum {

namespace {

[[noreturn]] void rethrow_named(const std::string& label, const Error& error) {
  throw Error(label + ": " + innermost_message(error));
}

// The bytes left in a regular file: what a progress share can count on.
std::uint64_t regular_file_size(const std::string& name) {
  struct stat info {};
  const int status = name.empty() ? fstat(STDIN_FILENO, &info) : stat(name.c_str(), &info);
  if (status != 0 || !S_ISREG(info.st_mode)) return 0;
  if (name.empty()) {
    const off_t offset = lseek(STDIN_FILENO, 0, SEEK_CUR);
    if (offset > 0 && offset <= info.st_size) return static_cast<std::uint64_t>(info.st_size - offset);
  }
  return static_cast<std::uint64_t>(info.st_size);
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
  size_ = regular_file_size(settings.text_file);
}

std::size_t TextFile::read(char* buffer, std::size_t size) {
  try {
    const std::size_t n = source_->read(buffer, size);
    bytes_read_.fetch_add(n, std::memory_order_relaxed);
    return n;
  } catch (const Error& error) {
    rethrow_named(label_, error);
  }
}

}  // namespace kadrum
