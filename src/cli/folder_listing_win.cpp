// Windows: FindFirstFileW and FindNextFileW, names as UTF-16 at the API.
#include <windows.h>

#include <cerrno>
#include <cwctype>

#include "base/wide_text_win.h"
#include "cli/folder_listing.h"

namespace kadrum {

namespace {

// The handle of a search, closed however the listing ends.
class Search {
 public:
  explicit Search(HANDLE handle) : handle_(handle) {}
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;
  ~Search() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_DIRECTORY:
    case ERROR_INVALID_NAME:
      return ENOTDIR;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    default:
      return EIO;
  }
}

}  // namespace

bool list_folder(const std::string& folder, std::vector<FolderEntry>& entries) {
  std::wstring pattern = to_wide(folder);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data{};
  const Search search(FindFirstFileW(pattern.c_str(), &data));
  if (search.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // An empty drive root has not even "." to show.
    if (error == ERROR_FILE_NOT_FOUND) return true;
    errno = errno_of(error);
    return false;
  }
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back({from_wide(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow});
  } while (FindNextFileW(search.get(), &data));
  const DWORD error = GetLastError();
  if (error != ERROR_NO_MORE_FILES) {
    errno = errno_of(error);
    return false;
  }
  return true;
}

bool is_path_separator(char c) noexcept { return c == '/' || c == '\\'; }

char path_separator() noexcept { return '\\'; }

char32_t name_fold(char32_t c) noexcept {
  // Beyond the 16 bits of a wchar_t the case is kept: such letters are rare.
  if (c > 0xFFFF) return c;
  return static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
}

}  // namespace kadrum
