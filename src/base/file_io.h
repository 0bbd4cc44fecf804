// Files by their UTF-8 names, as descriptors: what Kadrum asks of the file
// system, behind one seam with a file per platform (file_io_posix.cpp,
// file_io_win.cpp; Windows opens through the wide-character API, so any
// Unicode name works). Every function reports failure with errno set to the
// POSIX code of the cause, which file_error_message() words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kadrum {

struct FileInfo {
  bool folder = false;
  bool regular = false;   // a file on disk, not a pipe, console or device
  bool writable = false;  // the permission bits or the read-only attribute
  std::uint64_t size = 0;
  // Together they tell one file from another (inode; file index on Windows).
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// The file or folder at "path"; false when it cannot be looked at.
bool file_info(const std::string& path, FileInfo& info) noexcept;
bool file_info(int fd, FileInfo& info) noexcept;

// Opens "path" for reading, not inherited by child programs; -1 on failure.
// A FIFO (POSIX) opens once a writer has written into it or closed it
// again; while a StopRequests lives (base/stop_signal.h), a stop request
// ends that wait with -1 and errno EINTR.
int open_for_reading(const std::string& path) noexcept;
// Makes "path" anew, failing with EEXIST when anything is there; -1 on failure.
int create_new_file(const std::string& path) noexcept;
// Opens "path" for reading and writing, making it when missing.
int open_or_create(const std::string& path) noexcept;
void close_file(int fd) noexcept;
// Whether standard input (descriptor 0) is open; prepares it for binary reads.
bool standard_input_open() noexcept;

// Reads up to "size" bytes where the descriptor stands: the count, 0 at the
// end, -1 on failure (never for an interrupted call).
std::int64_t read_some(int fd, char* buffer, std::size_t size) noexcept;
// Reads at "offset" without moving the descriptor's position.
std::int64_t read_at(int fd, char* buffer, std::size_t size, std::uint64_t offset) noexcept;
// Moves the position to "offset" from the start; the position on success,
// -1 on failure. seek_to(fd, current) with current = -1 only asks it.
std::int64_t seek_to(int fd, std::int64_t offset) noexcept;

// An exclusive lock on the one byte at "offset", held until the descriptor
// is closed (not shared with other descriptors of the same file).
enum class ByteLock { locked, busy, failed };
ByteLock try_lock_byte(int fd, std::uint64_t offset) noexcept;
// Gives up the lock of try_lock_byte on the byte at "offset".
void unlock_byte(int fd, std::uint64_t offset) noexcept;

// Replaces the file "path" with one that holds "bytes", at once: a reader
// sees the old file or the new one, whole, never a part of it (written
// beside it as "path.kadrum-neu", then renamed over it). False, with errno
// set, on failure.
bool replace_file(const std::string& path, std::string_view bytes) noexcept;

// "path" made absolute, with links resolved where the platform does; "path"
// itself when that fails.
std::string absolute_path(const std::string& path);

// The path by which the system knows the file open as "fd", opened by the
// name "path": its links resolved, and on Windows the case, long names and
// drive the volume gives it, so that two spellings of one file ("C:\co2.txt",
// "c:\CO2.TXT") give one path. absolute_path("path") when it cannot tell.
std::string final_path(int fd, const std::string& path);

}  // namespace kadrum
