#include "import/item.h"

namespace kadrum {

const ItemCharacters& item_characters() {
  static const ItemCharacters set = [] {
    ItemCharacters s{};
    for (int code = '-'; code <= '9'; ++code) s[code] = true;
    return s;
  }();
  return set;
}

std::string_view get_item(std::string_view line, std::int32_t n,
                          const ItemCharacters& set) {
  return ItemWalk(line, set).item(n);
}

std::string_view ItemWalk::item(std::int32_t n) {
  if (n < 1) return {};
  if (n <= count_) {  // behind the walk: start again
    next_ = 0;
    count_ = 0;
  }
  const auto member = [&](std::size_t i) {
    return set_[static_cast<unsigned char>(line_[i])];
  };
  const std::size_t size = line_.size();
  std::size_t i = next_;
  for (;;) {
    while (i < size && !member(i)) ++i;
    if (i == size) {
      next_ = i;
      return {};
    }
    const std::size_t start = i;
    while (i < size && member(i)) ++i;
    next_ = i;
    if (++count_ == n) return line_.substr(start, i - start);
  }
}

}  // namespace kadrum
