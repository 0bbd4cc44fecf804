// A byte source for fuzz targets that serves its data like a pipe, in
// pieces, and can fail part way.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string_view>

#include "base/error.h"
#include "import/byte_source.h"

namespace kadrum::fuzz {

inline constexpr const char* kReadFailure = "E/A-Fehler 5";

// Serves "data" in pieces of at most "chunk" bytes, like a pipe; the read
// that would go past "fail_after" bytes throws kadrum::Error instead.
class ChunkedSource : public kadrum::ByteSource {
 public:
  ChunkedSource(std::string_view data, std::size_t chunk,
                std::size_t fail_after = std::numeric_limits<std::size_t>::max())
      : data_(data), chunk_(chunk), fail_after_(fail_after) {}

  std::size_t read(char* buffer, std::size_t size) override {
    if (pos_ >= fail_after_) throw kadrum::Error(kReadFailure);
    size = std::min({size, chunk_, data_.size() - pos_, fail_after_ - pos_});
    std::memcpy(buffer, data_.data() + pos_, size);
    pos_ += size;
    return size;
  }

 private:
  std::string_view data_;
  std::size_t chunk_;
  std::size_t fail_after_;
  std::size_t pos_ = 0;
};

}  // namespace kadrum::fuzz
