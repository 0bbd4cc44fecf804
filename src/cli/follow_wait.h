// What --follow waits on between lines: the file growing or being replaced,
// and SIGINT or SIGTERM, which end follow mode normally.
#pragma once

#include <sys/types.h>

#include <string>

namespace kadrum {

// Waits for a change of one path. On Linux through inotify (the file written
// to, and its folder for a file renamed or created in its place), and never
// longer than a second, so that a missed event costs at most that; elsewhere
// by looking again after a quarter of a second.
class FileWatch {
 public:
  FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;
  ~FileWatch();
  // Returns when "path" may have changed, after at most about a second, or
  // when a stop is requested (base/stop_signal.h).
  void wait(const std::string& path);

 private:
  void watch(const std::string& path);

  int inotify_ = -1;
  int file_watch_ = -1;
  int folder_watch_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace kadrum
