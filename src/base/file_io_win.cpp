// Windows: names go to CreateFileW as UTF-16, and the handle becomes a C
// runtime descriptor in binary mode, so that the rest of Kadrum reads it as
// it does on POSIX. Files are opened sharing read, write and delete, so that
// a file Kadrum reads can still be appended to, renamed or replaced.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "base/file_io.h"
#include "base/wide_text_win.h"

namespace kadrum {

namespace {

int errno_of(DWORD error) noexcept {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
      return ENOTDIR;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_BROKEN_PIPE:
      return EPIPE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

bool fail(DWORD error) noexcept {
  errno = errno_of(error);
  return false;
}

bool fill(HANDLE handle, FileInfo& info) noexcept {
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    info = FileInfo{};
    return true;
  }
  BY_HANDLE_FILE_INFORMATION data{};
  if (!GetFileInformationByHandle(handle, &data)) return fail(GetLastError());
  info.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.regular = !info.folder;
  info.writable = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) == 0;
  info.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  info.device = data.dwVolumeSerialNumber;
  info.inode = (std::uint64_t{data.nFileIndexHigh} << 32) | data.nFileIndexLow;
  return true;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int open_handle(const std::string& path, DWORD access, DWORD disposition, int mode) noexcept {
  if (path.empty()) {
    errno = ENOENT;
    return -1;
  }
  // Not inheritable (no security attributes): a child never gets it.
  HANDLE handle = CreateFileW(to_wide(path).c_str(), access, kShareAll, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    fail(GetLastError());
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), mode | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    errno = EMFILE;
  }
  return fd;
}

HANDLE handle_of(int fd) noexcept { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

bool file_info(const std::string& path, FileInfo& info) noexcept {
  if (path.empty()) return fail(ERROR_FILE_NOT_FOUND);
  // No access asked: enough to read the attributes, and a folder opens too.
  HANDLE handle = CreateFileW(to_wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fail(GetLastError());
  const bool done = fill(handle, info);
  CloseHandle(handle);
  return done;
}

bool file_info(int fd, FileInfo& info) noexcept {
  HANDLE handle = handle_of(fd);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return false;
  }
  return fill(handle, info);
}

int open_for_reading(const std::string& path) noexcept {
  return open_handle(path, GENERIC_READ, OPEN_EXISTING, _O_RDONLY);
}

int create_new_file(const std::string& path) noexcept {
  return open_handle(path, GENERIC_WRITE, CREATE_NEW, _O_WRONLY);
}

int open_or_create(const std::string& path) noexcept {
  return open_handle(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, _O_RDWR);
}

void close_file(int fd) noexcept {
  if (fd >= 0) _close(fd);
}

bool standard_input_open() noexcept {
  if (handle_of(0) == INVALID_HANDLE_VALUE) return false;
  _setmode(0, _O_BINARY);
  return true;
}

std::int64_t read_some(int fd, char* buffer, std::size_t size) noexcept {
  HANDLE handle = handle_of(fd);
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (ReadFile(handle, buffer, want, &got, nullptr)) return got;
  const DWORD error = GetLastError();
  // A pipe whose writer has gone has simply ended.
  if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
  fail(error);
  return -1;
}

std::int64_t read_at(int fd, char* buffer, std::size_t size, std::uint64_t offset) noexcept {
  // ReadFile at an offset moves the position of a synchronous handle; it is
  // put back, as pread() leaves it.
  const std::int64_t position = seek_to(fd, -1);
  if (position < 0) return -1;
  HANDLE handle = handle_of(fd);
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  const bool done = ReadFile(handle, buffer, want, &got, &at);
  const DWORD error = GetLastError();
  seek_to(fd, position);
  if (done) return got;
  if (error == ERROR_HANDLE_EOF) return 0;
  fail(error);
  return -1;
}

std::int64_t seek_to(int fd, std::int64_t offset) noexcept {
  LARGE_INTEGER to{}, now{};
  to.QuadPart = offset < 0 ? 0 : offset;
  if (!SetFilePointerEx(handle_of(fd), to, &now, offset < 0 ? FILE_CURRENT : FILE_BEGIN)) {
    fail(GetLastError());
    return -1;
  }
  return now.QuadPart;
}

ByteLock try_lock_byte(int fd, std::uint64_t offset) noexcept {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  if (LockFileEx(handle_of(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
    return ByteLock::locked;
  const DWORD error = GetLastError();
  return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? ByteLock::busy
                                                                    : ByteLock::failed;
}

void unlock_byte(int fd, std::uint64_t offset) noexcept {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  UnlockFileEx(handle_of(fd), 0, 1, 0, &at);
}

std::string absolute_path(const std::string& path) {
  const std::wstring wide = to_wide(path);
  const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return path;
  full.resize(written);
  return from_wide(full);
}

std::string final_path(int fd, const std::string& path) {
  const HANDLE handle = handle_of(fd);
  const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD n = GetFinalPathNameByHandleW(handle, nullptr, 0, flags);
  if (n == 0) return absolute_path(path);
  std::wstring full(n, L'\0');
  const DWORD written = GetFinalPathNameByHandleW(handle, full.data(), n, flags);
  if (written == 0 || written >= n) return absolute_path(path);
  full.resize(written);
  // Without the prefix of long paths ("\\?\UNC\srv\share" becomes "\\srv\share"):
  // the form a user writes.
  if (full.rfind(L"\\\\?\\UNC\\", 0) == 0) full.replace(0, 8, L"\\\\");
  else if (full.rfind(L"\\\\?\\", 0) == 0) full.erase(0, 4);
  return from_wide(full);
}

bool replace_file(const std::string& path, std::string_view bytes) noexcept {
  const std::wstring target = to_wide(path);
  const std::wstring fresh = target + L".kadrum-neu";
  HANDLE handle = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return fail(GetLastError());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD want =
        static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data() + done, want, &written, nullptr) || written == 0) {
      const DWORD error = GetLastError();
      CloseHandle(handle);
      DeleteFileW(fresh.c_str());
      return fail(error);
    }
    done += written;
  }
  CloseHandle(handle);
  // A reader that holds the old file open (sharing delete, as Kadrum's own
  // reads do) does not keep it from being replaced.
  if (!MoveFileExW(fresh.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD error = GetLastError();
    DeleteFileW(fresh.c_str());
    return fail(error);
  }
  return true;
}

}  // namespace kadrum
