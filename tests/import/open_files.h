// How many descriptors the test process holds, to see that files are closed.
#pragma once

#include <filesystem>

namespace kadrum {

inline int open_descriptor_count() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

}  // namespace kadrum
