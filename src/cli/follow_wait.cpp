#include "cli/follow_wait.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <vector>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace kadrum {

namespace {

volatile std::sig_atomic_t stop_requested = 0;
int wake_pipe[2] = {-1, -1};

extern "C" void note_follow_stop(int) {
  stop_requested = 1;
  if (wake_pipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_pipe[1], &byte, 1);
  }
}

struct sigaction old_int {};
struct sigaction old_term {};

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FollowStop::FollowStop() {
  if (wake_pipe[0] < 0 && pipe(wake_pipe) == 0) {
    for (const int fd : wake_pipe) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  struct sigaction action {};
  action.sa_handler = note_follow_stop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &old_int);
  sigaction(SIGTERM, &action, &old_term);
}

FollowStop::~FollowStop() {
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
}

bool FollowStop::requested() { return stop_requested != 0; }

int FollowStop::wake_fd() { return wake_pipe[0]; }

#ifdef __linux__

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
  if (FollowStop::wake_fd() >= 0) fds.push_back({FollowStop::wake_fd(), POLLIN, 0});
  if (inotify_ >= 0) fds.push_back({inotify_, POLLIN, 0});
  if (FollowStop::requested()) return;
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
  if (FollowStop::requested()) return;
  pollfd fd{FollowStop::wake_fd(), POLLIN, 0};
  poll(&fd, FollowStop::wake_fd() >= 0 ? 1 : 0, 250);
}

#endif

}  // namespace kadrum
