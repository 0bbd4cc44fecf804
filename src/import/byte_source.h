// Where a reader gets its bytes from: a file, standard input or memory.
#pragma once

#include <cstddef>

namespace kadrum {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Reads up to "size" bytes into "buffer" and returns how many were read,
  // at least 1 while data is left and 0 at the end of the data. Throws
  // kadrum::Error with the German message when reading fails.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

}  // namespace kadrum
