// Bytes from memory, so readers can be tested and fuzzed without files:
// served like a pipe in pieces of any size, and able to fail part way.
#pragma once

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "base/error.h"
#include "import/byte_source.h"

namespace kadrum::testing {

// What a failing read says unless told otherwise.
inline constexpr const char* kReadFailure = "E/A-Fehler 5";

class MemoryByteSource : public ByteSource {
 public:
  // Serves "data" in pieces of at most "chunk" bytes, like a pipe, then
  // reports the end. With "fail_after", the read that would go past that
  // many bytes throws kadrum::Error("fail_message") instead; bytes before
  // that point are served normally.
  explicit MemoryByteSource(std::string data,
                            std::size_t fail_after = std::numeric_limits<std::size_t>::max(),
                            std::string fail_message = kReadFailure,
                            std::size_t chunk = std::numeric_limits<std::size_t>::max())
      : data_(std::move(data)),
        fail_after_(fail_after),
        fail_message_(std::move(fail_message)),
        chunk_(chunk) {}

  std::size_t read(char* buffer, std::size_t size) override {
    if (pos_ >= fail_after_) throw Error(fail_message_);
    size = std::min({size, chunk_, data_.size() - pos_, fail_after_ - pos_});
    std::memcpy(buffer, data_.data() + pos_, size);
    pos_ += size;
    return size;
  }

  // How many bytes have been served so far.
  std::size_t served() const { return pos_; }

 private:
  std::string data_;
  std::size_t pos_ = 0;
  std::size_t fail_after_;
  std::string fail_message_;
  std::size_t chunk_;
};

}  // namespace kadrum::testing
