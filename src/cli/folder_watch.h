// What --follow over many files waits on: the folders that hold them, one
// file per platform (folder_watch_posix.cpp: inotify, one watch per folder
// whatever the number of files in it; folder_watch_win.cpp: looking again
// at --follow's interval), and SIGINT or SIGTERM.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kadrum {

// What changed in the watched folders, as paths made of the folder and the
// name (a name alone for the working folder ".").
struct FolderChanges {
  std::vector<std::string> written;  // files written to
  std::vector<std::string> removed;  // deleted or renamed away
  std::vector<std::string> arrived;  // created or renamed to
  // Anything may have changed (events were lost, a folder went, or the
  // platform only looks): the caller looks at every file again.
  bool everything = false;
};

class FolderWatch {
 public:
  FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;
  ~FolderWatch();
  // Watches "folder" from now on; a folder watched already costs nothing.
  void watch(const std::string& folder);
  // Waits until something changed in a watched folder, "milliseconds"
  // passed (on Windows always a quarter of a second), or a stop is
  // requested (base/stop_signal.h).
  FolderChanges wait(int milliseconds);

 private:
  int inotify_ = -1;
  std::map<int, std::string> folders_;  // by watch descriptor
  std::map<std::string, int> watches_;  // by folder
};

// "folder" and "name" as one path, the way file patterns make paths.
std::string path_in_folder(const std::string& folder, const std::string& name);

}  // namespace kadrum
