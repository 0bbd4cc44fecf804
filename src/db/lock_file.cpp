#include "db/lock_file.h"

#include <algorithm>
#include <cctype>

#include "base/file_io.h"
#include "base/stop_signal.h"

namespace kadrum {

namespace {

// The table locks take the bytes below 2^31, the keyed ones those above,
// so that the two never meet.
constexpr std::uint64_t kKeyedLocks = 0x80000000u;

std::uint32_t fnv1a(std::string_view text, bool fold_case) {
  std::uint32_t hash = 2166136261u;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    hash ^= fold_case ? static_cast<unsigned char>(std::tolower(byte)) : byte;
    hash *= 16777619u;
  }
  return hash;
}

// One byte of the lock file's one descriptor: a run over thousands of
// files holds no descriptor per lock.
class ByteLockHeld final : public EngineLock {
 public:
  ByteLockHeld(int fd, std::uint64_t byte) : fd_(fd), byte_(byte) {}
  ~ByteLockHeld() override { unlock_byte(fd_, byte_); }

 private:
  int fd_;
  std::uint64_t byte_;
};

}  // namespace

LockFile::~LockFile() { close_file(fd_); }

bool LockFile::open() {
  if (fd_ < 0) fd_ = open_or_create(path_);
  return fd_ >= 0;
}

void LockFile::hold_table_lock(std::string_view name) {
  if (!open()) return;
  const std::uint64_t byte = fnv1a(name, true) & 0x7fffffff;
  // Held already: Windows would refuse the same handle the same byte again,
  // and the wait below would never end.
  if (std::find(table_locks_.begin(), table_locks_.end(), byte) != table_locks_.end()) return;
  // Tried again and again rather than waited for, so that a stop request
  // ends the wait.
  for (;;) {
    const ByteLock lock = try_lock_byte(fd_, byte);
    if (lock == ByteLock::locked) table_locks_.push_back(byte);
    if (lock == ByteLock::locked || lock == ByteLock::failed) return;
    check_stop_request();
    wait_for_stop_request(50);
  }
}

std::unique_ptr<EngineLock> LockFile::try_lock(std::string_view key) {
  if (!open()) return std::make_unique<EngineLock>();
  const std::uint64_t byte = kKeyedLocks + (fnv1a(key, false) & 0x7fffffff);
  switch (try_lock_byte(fd_, byte)) {
    case ByteLock::busy: return nullptr;
    case ByteLock::locked: return std::make_unique<ByteLockHeld>(fd_, byte);
    default: return std::make_unique<EngineLock>();
  }
}

}  // namespace kadrum
