// Stop requests: SIGINT and SIGTERM asking a run to end, and the ways a
// part that waits (for input, for a database server) learns of one at once.
// The platform's signal handling lives behind this seam alone
// (stop_signal_posix.cpp, stop_signal_win.cpp); on Windows Ctrl+C and
// Ctrl+Break request a stop as SIGINT.
#pragma once

#include <functional>
#include <string_view>

#include "base/error.h"

namespace kadrum {

// While one lives, SIGINT and SIGTERM no longer end the process: they
// request a stop, which stays requested until it ends. A watcher thread
// then calls the live StopHooks. At most one lives at a time; its end
// restores the handlers that were there before.
class StopRequests {
 public:
  StopRequests();
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;
};

// The name of the signal that requested a stop ("SIGINT", "SIGTERM"), or
// empty when none did. Any thread; never throws.
std::string_view stop_request() noexcept;

// Thrown where a stop request ends a wait or a run: "Abgebrochen durch %s".
class StopRequested : public Error {
 public:
  explicit StopRequested(std::string_view signal);
};

// Throws StopRequested when a stop has been requested.
void check_stop_request();

// A descriptor that polls readable (POLLIN) from the moment a stop is
// requested, for a reader that waits with poll() on its input as well; -1
// while no StopRequests lives, and always on Windows, which has no such
// descriptor. Never throws.
int stop_wait_handle() noexcept;

// Waits "milliseconds", or less when a stop is requested meanwhile.
void wait_for_stop_request(int milliseconds) noexcept;

// While a StopRequests lives, waits until descriptor "fd" has input or a
// stop is requested, so that a read from a pipe that may wait for ever can
// be ended (on Windows: a pipe or a console). False when no StopRequests
// lives.
bool wait_for_input_or_stop(int fd) noexcept;

// While it lives, a stop request calls "interrupt" on the watcher thread,
// and "abandon" when the StopRequests has not ended a second later (a
// server that does not answer). Both run on another thread than the one
// that waits, and must be safe to call while it waits; neither may throw.
// The destructor waits for a call in progress.
class StopHook {
 public:
  StopHook(std::function<void()> interrupt, std::function<void()> abandon);
  ~StopHook();
  StopHook(const StopHook&) = delete;
  StopHook& operator=(const StopHook&) = delete;

 private:
  std::function<void()> interrupt_;
  std::function<void()> abandon_;
  friend class StopWatcher;
};

}  // namespace kadrum
