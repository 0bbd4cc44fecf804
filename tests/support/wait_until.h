// Waiting for another process or thread without a fixed sleep: the tests
// go on as soon as what they wait for holds, and a fault ends the wait
// after a limit instead of hanging the run.
#pragma once

#include <chrono>
#include <thread>

namespace kadrum::testing {

// Asks "done" every few milliseconds until it holds or "limit" has passed;
// whether the last answer was yes. "done" is not asked again after it said
// yes, so it may reap a process.
template <typename Done>
bool wait_until(Done&& done, std::chrono::milliseconds limit) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace kadrum::testing
