// Ctrl+C and Ctrl+Break on Windows: the console calls the handler on a
// thread of its own; it notes the request as SIGINT, as the same keys give
// on Linux, and sets an event that the watcher thread (stop_signal.cpp) and
// every interruptible wait look at.
#include <windows.h>

#include <io.h>

#include <atomic>
#include <csignal>

#include "base/error.h"
#include "base/stop_signal.h"
#include "base/stop_signal_platform.h"

namespace kadrum {

namespace {

std::atomic<int> received_signal{0};
std::atomic<HANDLE> stop_event{nullptr};  // set by a stop request
std::atomic<HANDLE> wake_event{nullptr};  // set to end the watcher

BOOL WINAPI note_console_event(DWORD kind) {
  if (kind != CTRL_C_EVENT && kind != CTRL_BREAK_EVENT) return FALSE;
  received_signal = SIGINT;
  if (HANDLE event = stop_event.load()) SetEvent(event);
  return TRUE;
}

}  // namespace

namespace stop_platform {

void open() {
  received_signal = 0;
  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (stop == nullptr || wake == nullptr) {
    if (stop) CloseHandle(stop);
    if (wake) CloseHandle(wake);
    throw Error("Unerwarteter interner Fehler");
  }
  stop_event = stop;
  wake_event = wake;
}

void close() noexcept {
  if (HANDLE stop = stop_event.exchange(nullptr)) CloseHandle(stop);
  if (HANDLE wake = wake_event.exchange(nullptr)) CloseHandle(wake);
}

void catch_signals() { SetConsoleCtrlHandler(note_console_event, TRUE); }

void release_signals() noexcept { SetConsoleCtrlHandler(note_console_event, FALSE); }

int received() noexcept { return received_signal; }

bool wait() noexcept {
  const HANDLE events[2] = {stop_event.load(), wake_event.load()};
  return WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_FAILED;
}

void wake() noexcept {
  if (HANDLE wake = wake_event.load()) SetEvent(wake);
}

}  // namespace stop_platform

// Windows waits on handles, not descriptors: the readers there look at
// stop_request() between reads instead.
int stop_wait_handle() noexcept { return -1; }

void wait_for_stop_request(int milliseconds) noexcept {
  if (HANDLE stop = stop_event.load())
    WaitForSingleObject(stop, static_cast<DWORD>(milliseconds));
  else
    Sleep(static_cast<DWORD>(milliseconds));
}

bool wait_for_input_or_stop(int fd) noexcept {
  HANDLE stop = stop_event.load();
  if (stop == nullptr) return false;
  HANDLE input = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (input == INVALID_HANDLE_VALUE) return true;
  switch (GetFileType(input)) {
    case FILE_TYPE_PIPE:
      // A pipe cannot be waited on: looked at every 50 ms until it has
      // data or has ended (PeekNamedPipe fails), or a stop is requested.
      // Where it cannot be looked at (Wine's pipes from the host), the
      // read waits as it would.
      for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) || available > 0)
          return true;
        if (WaitForSingleObject(stop, 50) != WAIT_TIMEOUT) return true;
      }
    case FILE_TYPE_CHAR: {
      // A console's input handle is signalled when input is there.
      const HANDLE both[2] = {input, stop};
      WaitForMultipleObjects(2, both, FALSE, INFINITE);
      return true;
    }
    default:
      return true;  // a file on disk never keeps a read waiting
  }
}

}  // namespace kadrum
