#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli/folder_listing.h"

namespace kadrum {

bool list_folder(const std::string& folder, std::vector<FolderEntry>& entries) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  const int fd = ::dirfd(dir);
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    // A link counts as what it points to, as it does when the file is opened.
    struct stat info {};
    const bool known = ::fstatat(fd, entry->d_name, &info, 0) == 0;
    entries.push_back({entry->d_name, known ? S_ISDIR(info.st_mode) : entry->d_type == DT_DIR,
                       known ? static_cast<std::uint64_t>(info.st_size) : 0});
    errno = 0;
  }
  const int error = errno;
  ::closedir(dir);
  errno = error;
  return error == 0;
}

bool is_path_separator(char c) noexcept { return c == '/'; }

char path_separator() noexcept { return '/'; }

char32_t name_fold(char32_t c) noexcept { return c; }

}  // namespace kadrum
