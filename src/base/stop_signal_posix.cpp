// SIGINT and SIGTERM on POSIX: the handler notes the signal and writes one
// byte into a pipe that nobody drains, so that every poll() on its read end
// wakes at once and keeps waking; the watcher thread (stop_signal.cpp) does
// the rest, since little may be done inside a signal handler.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "base/error.h"
#include "base/stop_signal.h"
#include "base/stop_signal_platform.h"

namespace kadrum {

namespace {

volatile std::sig_atomic_t received_signal = 0;
std::atomic<int> wake_read{-1};
std::atomic<int> wake_write{-1};

extern "C" void note_stop_signal(int signal) {
  const int saved = errno;
  received_signal = signal;
  const char byte = 's';
  if (const int fd = wake_write.load(); fd >= 0) (void)!::write(fd, &byte, 1);
  errno = saved;
}

struct sigaction old_int {};
struct sigaction old_term {};

}  // namespace

namespace stop_platform {

void open() {
  received_signal = 0;
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
}

void close() noexcept {
  const int read_end = wake_read.exchange(-1), write_end = wake_write.exchange(-1);
  ::close(read_end);
  ::close(write_end);
}

void catch_signals() {
  struct sigaction action {};
  action.sa_handler = note_stop_signal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &old_int);
  sigaction(SIGTERM, &action, &old_term);
}

void release_signals() noexcept {
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
}

int received() noexcept { return received_signal; }

bool wait() noexcept {
  pollfd wake{wake_read.load(), POLLIN, 0};
  return ::poll(&wake, 1, -1) >= 0 || errno == EINTR;
}

void wake() noexcept {
  const char byte = 'e';
  (void)!::write(wake_write.load(), &byte, 1);
}

}  // namespace stop_platform

int stop_wait_handle() noexcept { return wake_read.load(); }

void wait_for_stop_request(int milliseconds) noexcept {
  pollfd stop{wake_read.load(), POLLIN, 0};
  ::poll(&stop, stop.fd >= 0 ? 1 : 0, milliseconds);
}

bool wait_for_input_or_stop(int fd) noexcept {
  const int stop = wake_read.load();
  if (stop < 0) return false;
  pollfd wait[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
  while (::poll(wait, 2, -1) < 0 && errno == EINTR) {
  }
  return true;
}

}  // namespace kadrum
