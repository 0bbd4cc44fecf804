// What stop_signal.cpp needs of the platform: catching the stop signals
// (SIGINT and SIGTERM on POSIX, Ctrl+C and Ctrl+Break on Windows) and a
// wake-up that the watcher thread waits on. One file per platform:
// stop_signal_posix.cpp, stop_signal_win.cpp.
#pragma once

namespace kadrum::stop_platform {

// Forgets an earlier stop and makes the wake-up; throws Error when it cannot.
void open();
// Releases the wake-up made by open().
void close() noexcept;
// From now on until release_signals() the stop signals request a stop
// instead of ending the process.
void catch_signals();
void release_signals() noexcept;
// The signal number (SIGINT, SIGTERM) that requested a stop, 0 when none.
int received() noexcept;
// Waits until a stop is requested or wake() is called; false when the
// wait itself failed and the watcher should give up.
bool wait() noexcept;
void wake() noexcept;

}  // namespace kadrum::stop_platform
