#include "cli/follow_wait.h"

#include <vector>

#include "base/stop_signal.h"

#ifdef __linux__
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kadrum {

#ifdef __linux__

namespace {

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FileWatch::FileWatch() : inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FileWatch::~FileWatch() {
  if (inotify_ >= 0) ::close(inotify_);
}

void FileWatch::watch(const std::string& path) {
  if (inotify_ < 0) return;
  if (folder_watch_ < 0)
    folder_watch_ = inotify_add_watch(inotify_, folder_of(path).c_str(),
                                      IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return;
  if (file_watch_ >= 0 && info.st_dev == device_ && info.st_ino == inode_) return;
  // A watch follows the file, not the name: a new file at the path needs
  // its own.
  if (file_watch_ >= 0) inotify_rm_watch(inotify_, file_watch_);
  file_watch_ = inotify_add_watch(inotify_, path.c_str(),
                                  IN_MODIFY | IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF);
  device_ = info.st_dev;
  inode_ = info.st_ino;
}

void FileWatch::wait(const std::string& path) {
  watch(path);
  std::vector<pollfd> fds;
  if (stop_wait_handle() >= 0) fds.push_back({stop_wait_handle(), POLLIN, 0});
  if (inotify_ >= 0) fds.push_back({inotify_, POLLIN, 0});
  if (!stop_request().empty()) return;
  poll(fds.data(), fds.size(), inotify_ >= 0 ? 1000 : 250);
  if (inotify_ >= 0) {
    char events[4096];
    while (::read(inotify_, events, sizeof events) > 0) {
    }
  }
}

#else

FileWatch::FileWatch() = default;
FileWatch::~FileWatch() = default;
void FileWatch::watch(const std::string&) {}

void FileWatch::wait(const std::string&) {
  if (!stop_request().empty()) return;
  wait_for_stop_request(250);
}

#endif

}  // namespace kadrum
