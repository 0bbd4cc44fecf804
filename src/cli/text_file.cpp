#include "cli/text_file.h"

#include "base/error.h"
#include "base/file_io.h"
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
