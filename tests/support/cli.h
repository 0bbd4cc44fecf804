// What the tests of kadrum-cli as a process share: how long they wait for
// it, and what a finished run left behind.
#pragma once

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

namespace kadrum::testing {

// How long a test waits for kadrum-cli before it goes on and fails.
inline constexpr std::chrono::seconds kPatience{10};

// A finished run: its exit status (-1 when a signal ended it) and what it
// wrote.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// The whole file at "path"; empty when there is none.
inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace kadrum::testing
