#include "cli/argument_file.h"

#include <cerrno>

#include "base/error.h"
#include "base/file_io.h"
#include "import/file_byte_source.h"

namespace kadrum {

namespace {

// An argument file is a few lines; anything bigger is another file named by
// mistake.
constexpr std::size_t kMaxSize = 1024 * 1024;

std::string trimmed(const std::string& line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::vector<std::string> read_argument_file(const std::string& path) {
  const std::string option = "--arguments-from=" + path;
  const int fd = open_for_reading(path);
  if (fd < 0) throw Error(option + ": " + file_error_message(errno, path));
  std::string text;
  char buffer[4096];
  for (;;) {
    const std::int64_t n = read_some(fd, buffer, sizeof buffer);
    if (n < 0) {
      const int error = errno;
      close_file(fd);
      throw Error(option + ": " + file_error_message(error, path));
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxSize) {
      close_file(fd);
      throw Error(fill_message("%s: die Datei ist größer als 1 MiB; eine Argumentdatei hat ein "
                               "Argument je Zeile",
                               {option}));
    }
  }
  close_file(fd);
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string argument = trimmed(text.substr(start, end - start));
    start = end + 1;
    if (argument.empty() || argument.front() == '#') continue;
    if (argument.starts_with("--arguments-from="))
      throw Error(fill_message("%s: eine Argumentdatei nennt keine weitere (%s)",
                               {option, argument}));
    arguments.push_back(argument);
  }
  return arguments;
}

}  // namespace kadrum
