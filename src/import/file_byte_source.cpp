#include "import/file_byte_source.h"

#include <cerrno>

#include "base/error.h"
#include "base/file_io.h"
#include "base/messages.h"
#include "base/stop_signal.h"

namespace kadrum {

namespace {

bool folder_exists(const std::string& path) {
  FileInfo info;
  return file_info(path, info) && info.folder;
}

// The folder that would hold "file_name"; "." for a bare name.
std::string parent_folder(const std::string& file_name) {
#ifdef _WIN32
  const std::size_t slash = file_name.find_last_of("/\\");
  if (slash == 2 && file_name[1] == ':') return file_name.substr(0, 3);  // "C:\\"
#else
  const std::size_t slash = file_name.find_last_of('/');
#endif
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return file_name.substr(0, slash);
}

[[noreturn]] void throw_file_error(int error, const std::string& file_name) {
  throw Error(file_error_message(error, file_name));
}

}  // namespace

std::string file_error_message(int error, const std::string& file_name) {
  switch (error) {
    case ENOENT:
      // A missing file and a missing folder share one errno here.
      if (folder_exists(parent_folder(file_name)))
        return std::string(messages::file_not_found);
      return fill_message(messages::invalid_file_name, {file_name});
    case ENOTDIR:
      return fill_message(messages::invalid_file_name, {file_name});
    case EMFILE:
    case ENFILE:
      return std::string(messages::too_many_open_files);
    case EACCES:
    case EPERM:
    case EISDIR:
      return "Dateizugriff verweigert";
    default:
      return fill_message("E/A-Fehler %d", {std::to_string(error)});
  }
}

FileByteSource::FileByteSource(const std::string& file_name)
    : file_name_(file_name) {
  if (file_name.empty()) {
    // Standard input, fd 0. A closed one must fail here: the next file the
    // program opens (the database, say) would take its number and be read
    // in its place.
    if (!standard_input_open()) throw_file_error(EBADF, file_name);
    return;
  }
  const int fd = open_for_reading(file_name);
  if (fd < 0) {
    const int error = errno;
    // A stop request ended the wait for a FIFO's writer.
    if (error == EINTR) check_stop_request();
    throw_file_error(error, file_name);
  }
  owned_.fd = fd;
  fd_ = fd;
  // Linux opens a folder for reading; elsewhere that is access denied.
  FileInfo info;
  if (file_info(fd_, info) && info.folder) throw_file_error(EISDIR, file_name);
}

FileByteSource::~FileByteSource() = default;

FileByteSource::OwnedFd::~OwnedFd() {
  close_file(fd);
}

std::size_t FileByteSource::read(char* buffer, std::size_t size) {
  // A pipe or FIFO may keep the read waiting for ever: a stop request must
  // end that wait, not only the next record.
  if (wait_for_input_or_stop(fd_)) check_stop_request();
  const std::int64_t count = read_some(fd_, buffer, size);
  if (count >= 0) return static_cast<std::size_t>(count);
  if (errno == EPIPE) return 0;
  throw_file_error(errno, file_name_);
}

}  // namespace kadrum
