// Ctrl+C and Ctrl+Break on Windows: the console calls the handler on a
// thread of its own; it notes the request as SIGINT, as the same keys give
// on Linux, and sets an event that the watcher thread (stop_signal.cpp) and
// every interruptible wait look at.
#include <windows.h>

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

bool wait_for_input_or_stop(int) noexcept { return stop_event.load() != nullptr; }

}  // namespace kadrum
