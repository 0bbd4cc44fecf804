#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/file_io.h"
#include "base/stop_signal.h"

namespace kadrum {

namespace {

void fill(const struct stat& status, FileInfo& info) {
  info.folder = S_ISDIR(status.st_mode);
  info.regular = S_ISREG(status.st_mode);
  info.writable = (status.st_mode & 0222) != 0;
  info.size = static_cast<std::uint64_t>(status.st_size);
  info.device = static_cast<std::uint64_t>(status.st_dev);
  info.inode = static_cast<std::uint64_t>(status.st_ino);
}

int open_retrying(const std::string& path, int flags) noexcept {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Waits until the FIFO open as "fd" has data or a writer has come and gone
// (poll() reports no hang-up before a first writer), or until a stop is
// requested: then false.
bool wait_for_writer(int fd) noexcept {
  pollfd wait[2] = {{fd, POLLIN, 0}, {stop_wait_handle(), POLLIN, 0}};
  for (;;) {
    if (::poll(wait, wait[1].fd >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      return true;  // the read that follows tells what is wrong
    }
    if (wait[1].revents != 0) return false;
    if (wait[0].revents != 0) return true;
  }
}

}  // namespace

bool file_info(const std::string& path, FileInfo& info) noexcept {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  fill(status, info);
  return true;
}

bool file_info(int fd, FileInfo& info) noexcept {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  fill(status, info);
  return true;
}

int open_for_reading(const std::string& path) noexcept {
  // A FIFO's open() waits for a writer, and with the stop signals' handler
  // installed to restart calls, no signal ends that wait. Opened without
  // waiting, the FIFO is waited on with poll(), which a stop request ends.
  const int fd = open_retrying(path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode) && !wait_for_writer(fd)) {
    ::close(fd);
    errno = EINTR;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

int create_new_file(const std::string& path) noexcept {
  return open_retrying(path, O_WRONLY | O_CREAT | O_EXCL);
}

int open_or_create(const std::string& path) noexcept {
  return open_retrying(path, O_RDWR | O_CREAT);
}

void close_file(int fd) noexcept {
  if (fd >= 0) ::close(fd);
}

bool standard_input_open() noexcept { return ::fcntl(0, F_GETFD) >= 0; }

std::int64_t read_some(int fd, char* buffer, std::size_t size) noexcept {
  for (;;) {
    const ssize_t n = ::read(fd, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

std::int64_t read_at(int fd, char* buffer, std::size_t size, std::uint64_t offset) noexcept {
  for (;;) {
    const ssize_t n = ::pread(fd, buffer, size, static_cast<off_t>(offset));
    if (n >= 0 || errno != EINTR) return n;
  }
}

std::int64_t seek_to(int fd, std::int64_t offset) noexcept {
  return offset < 0 ? ::lseek(fd, 0, SEEK_CUR) : ::lseek(fd, static_cast<off_t>(offset), SEEK_SET);
}

namespace {

// Sets the open-file-description lock "type" on the one byte at "offset".
int set_byte_lock(int fd, std::uint64_t offset, short type) noexcept {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(offset);
  lock.l_len = 1;
  return ::fcntl(fd, F_OFD_SETLK, &lock);
}

}  // namespace

ByteLock try_lock_byte(int fd, std::uint64_t offset) noexcept {
  if (set_byte_lock(fd, offset, F_WRLCK) == 0) return ByteLock::locked;
  return errno == EAGAIN || errno == EACCES || errno == EINTR ? ByteLock::busy : ByteLock::failed;
}

void unlock_byte(int fd, std::uint64_t offset) noexcept { set_byte_lock(fd, offset, F_UNLCK); }

std::string absolute_path(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) return resolved;
  return path;
}

std::string final_path(int /*fd*/, const std::string& path) { return absolute_path(path); }

bool replace_file(const std::string& path, std::string_view bytes) noexcept {
  const std::string fresh = path + ".kadrum-neu";
  const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int saved = n < 0 ? errno : ENOSPC;
      ::close(fd);
      ::unlink(fresh.c_str());
      errno = saved;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 || ::rename(fresh.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    ::unlink(fresh.c_str());
    errno = saved;
    return false;
  }
  return true;
}

}  // namespace kadrum
