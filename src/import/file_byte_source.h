// Bytes of a text file, or of standard input when the name is empty.
#pragma once

#include <string>

#include "import/byte_source.h"

namespace kadrum {

// The German message for a failed open or read of "file_name" with errno
// "error": file not found, invalid name, too many open files, access denied,
// or "E/A-Fehler %d" with the number.
std::string file_error_message(int error, const std::string& file_name);

class FileByteSource : public ByteSource {
 public:
  // Opens "file_name" read-only; it must exist and is never created. The
  // empty name reads standard input, which is left open; a closed standard
  // input fails as "E/A-Fehler 9" (EBADF). Throws
  // kadrum::Error with the message of file_error_message; a folder is
  // refused as access denied. A FIFO waits for its writer; while a
  // StopRequests lives, a stop request ends that wait with StopRequested.
  explicit FileByteSource(const std::string& file_name);
  ~FileByteSource() override;

  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  // As ByteSource::read. A closed pipe is the end of the data; an
  // interrupted read is retried. While a StopRequests lives, a stop request
  // ends the read, also one waiting for input, with StopRequested.
  std::size_t read(char* buffer, std::size_t size) override;

 private:
  // Closes the descriptor it owns; standard input is never owned.
  class OwnedFd {
   public:
    OwnedFd() = default;
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    ~OwnedFd();
    int fd = -1;
  };

  std::string file_name_;
  OwnedFd owned_;
  int fd_ = 0;
};

}  // namespace kadrum
