// Windows: every file is looked at again at --follow's interval, a quarter
// of a second; listing a folder costs one search, whatever it holds.
#include "base/stop_signal.h"
#include "cli/folder_watch.h"

namespace kadrum {

std::string path_in_folder(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder == ".") return name;
  if (folder.back() == '/' || folder.back() == '\\') return folder + name;
  return folder + '\\' + name;
}

FolderWatch::FolderWatch() = default;
FolderWatch::~FolderWatch() = default;

void FolderWatch::watch(const std::string&) {}

FolderChanges FolderWatch::wait(int) {
  FolderChanges changes;
  if (!stop_request().empty()) return changes;
  wait_for_stop_request(250);
  changes.everything = true;
  return changes;
}

}  // namespace kadrum
