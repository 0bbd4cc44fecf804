// The part of stop requests that every platform shares: the watcher thread
// that calls the hooks, and the texts. The platform's signal handling is in
// stop_signal_posix.cpp or stop_signal_win.cpp.
#include "base/stop_signal.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>
#include <vector>

#include "base/stop_signal_platform.h"

namespace kadrum {

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
    stop_platform::wake();
    thread_.join();
  }

 private:
  void watch() {
    for (;;) {
      if (!stop_platform::wait()) return;
      std::unique_lock lock(mutex_);
      if (ending_) return;
      if (stop_platform::received() != 0) break;
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

StopRequests::StopRequests() {
  stop_platform::open();
  StopWatcher::instance().start();
  stop_platform::catch_signals();
}

StopRequests::~StopRequests() {
  stop_platform::release_signals();
  StopWatcher::instance().stop();
  stop_platform::close();
}

std::string_view stop_request() noexcept {
  switch (stop_platform::received()) {
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

StopHook::StopHook(std::function<void()> interrupt, std::function<void()> abandon)
    : interrupt_(std::move(interrupt)), abandon_(std::move(abandon)) {
  StopWatcher::instance().add(this);
}

StopHook::~StopHook() { StopWatcher::instance().remove(this); }

}  // namespace kadrum
