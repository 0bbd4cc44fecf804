// Linux: one inotify watch per folder reports, by name, every file created,
// written, renamed or deleted in it, so that thousands of files cost no
// descriptor of their own and no look while nothing happens.
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <climits>

#include "base/stop_signal.h"
#include "cli/folder_watch.h"

namespace kadrum {

std::string path_in_folder(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder == ".") return name;
  if (folder.back() == '/') return folder + name;
  return folder + '/' + name;
}

FolderWatch::FolderWatch() : inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
  if (inotify_ >= 0) ::close(inotify_);
}

void FolderWatch::watch(const std::string& folder) {
  if (inotify_ < 0 || watches_.count(folder)) return;
  const int wd = inotify_add_watch(inotify_, folder.c_str(),
                                   IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_MODIFY |
                                       IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
  if (wd < 0) return;
  // Two spellings of one folder share one watch descriptor.
  if (!folders_.count(wd)) folders_[wd] = folder;
  watches_[folder] = wd;
}

FolderChanges FolderWatch::wait(int milliseconds) {
  FolderChanges changes;
  if (!stop_request().empty()) return changes;
  pollfd fds[2] = {{stop_wait_handle(), POLLIN, 0}, {inotify_, POLLIN, 0}};
  // Without inotify (its limit reached) every file is looked at again
  // after a second.
  if (inotify_ < 0) {
    wait_for_stop_request(1000);
    changes.everything = true;
    return changes;
  }
  if (poll(stop_wait_handle() >= 0 ? fds : fds + 1, stop_wait_handle() >= 0 ? 2 : 1,
           milliseconds) <= 0)
    return changes;
  alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
  for (;;) {
    const ssize_t n = ::read(inotify_, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
        changes.everything = true;
        continue;
      }
      const auto folder = folders_.find(event->wd);
      if (folder == folders_.end() || event->len == 0) continue;
      const std::string path = path_in_folder(folder->second, event->name);
      if (event->mask & IN_MODIFY) changes.written.push_back(path);
      if (event->mask & (IN_DELETE | IN_MOVED_FROM)) changes.removed.push_back(path);
      if (event->mask & (IN_CREATE | IN_MOVED_TO)) changes.arrived.push_back(path);
    }
  }
  if (changes.everything) {
    // A folder that went, or came back, is watched anew by the next look.
    for (const auto& [wd, folder] : folders_) inotify_rm_watch(inotify_, wd);
    folders_.clear();
    watches_.clear();
  }
  return changes;
}

}  // namespace kadrum
