#include "item.h"

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
  if (n < 1) return {};
  const auto member = [&](std::size_t i) {
    return set[static_cast<unsigned char>(line[i])];
  };
  const std::size_t size = line.size();
  std::size_t i = 0;
  for (std::int32_t count = 0;;) {
    while (i < size && !member(i)) ++i;
    if (i == size) return {};
    const std::size_t start = i;
    while (i < size && member(i)) ++i;
    if (++count == n) return line.substr(start, i - start);
  }
}

}  // namespace kadrum
