// SIGINT and SIGTERM on POSIX: the handler notes the signal and writes one
// byte into a pipe that nobody drains, so that every poll() on its read end
// wakes at once and keeps waking; a watcher thread does the rest, since
// little may be done inside a signal handler.
#include "base/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

namespace kadrum {

namespace {

volatile std::sig_atomic_t received = 0;
std::atomic<int> wake_read{-1};
std::atomic<int> wake_write{-1};

extern "C" void note_stop_signal(int signal) {
  const int saved = errno;
  received = signal;
  const char byte = 's';
  if (const int fd = wake_write.load(); fd >= 0) (void)!::write(fd, &byte, 1);
  errno = saved;
}

}  // namespace

// The hooks and the thread that calls them.
class StopWatcher {
 public:
  static StopWatcher& instance() {
    static StopWatcher watcher;
    return watcher;
  }

  void add(StopHook* hook) {
    std::lock_guard lock(mutex_);
    hooks_.push_back(hook);
  }
  void remove(StopHook* hook) {
    std::lock_guard lock(mutex_);
    hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), hook), hooks_.end());
  }

  void start() {
    ending_ = false;
    thread_ = std::thread([this] { watch(); });
  }
  void stop() {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    ended_.notify_all();
    const char byte = 'e';
    (void)!::write(wake_write.load(), &byte, 1);
    thread_.join();
  }

 private:
  void watch() {
    for (;;) {
      pollfd wait{wake_read.load(), POLLIN, 0};
      if (::poll(&wait, 1, -1) < 0 && errno != EINTR) return;
      std::unique_lock lock(mutex_);
      if (ending_) return;
      if (received != 0) break;
    }
    std::unique_lock lock(mutex_);
    for (StopHook* hook : hooks_) hook->interrupt_();
    // A server that got the cancel answers at once; one that does not (a
    // stopped backend) would keep the run waiting for ever.
    if (ended_.wait_for(lock, std::chrono::seconds(1), [this] { return ending_; })) return;
    for (StopHook* hook : hooks_) hook->abandon_();
    ended_.wait(lock, [this] { return ending_; });
  }

  std::mutex mutex_;
  std::condition_variable ended_;
  std::vector<StopHook*> hooks_;
  bool ending_ = false;
  std::thread thread_;
};

namespace {

struct sigaction old_int {};
struct sigaction old_term {};

}  // namespace

StopRequests::StopRequests() {
  received = 0;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) throw Error("Unerwarteter interner Fehler");
  // With standard input closed the pipe would take its number, and a run
  // that reads standard input would then wait on the pipe.
  for (int& fd : fds) {
    if (fd > STDERR_FILENO) continue;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    if (moved < 0) throw Error("Unerwarteter interner Fehler");
    fd = moved;
  }
  wake_read = fds[0];
  wake_write = fds[1];
  StopWatcher::instance().start();
  struct sigaction action {};
  action.sa_handler = note_stop_signal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &old_int);
  sigaction(SIGTERM, &action, &old_term);
}

StopRequests::~StopRequests() {
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  StopWatcher::instance().stop();
  const int read_end = wake_read.exchange(-1), write_end = wake_write.exchange(-1);
  ::close(read_end);
  ::close(write_end);
}

std::string_view stop_request() noexcept {
  switch (received) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return {};
  }
}

StopRequested::StopRequested(std::string_view signal)
    : Error(fill_message("Abgebrochen durch %s", {signal})) {}

void check_stop_request() {
  if (const auto signal = stop_request(); !signal.empty()) throw StopRequested(signal);
}

int stop_wait_handle() noexcept { return wake_read.load(); }

StopHook::StopHook(std::function<void()> interrupt, std::function<void()> abandon)
    : interrupt_(std::move(interrupt)), abandon_(std::move(abandon)) {
  StopWatcher::instance().add(this);
}

StopHook::~StopHook() { StopWatcher::instance().remove(this); }

}  // namespace kadrum
