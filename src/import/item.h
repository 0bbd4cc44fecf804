// Items: maximal runs of item characters in a line, numbered from 1.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kadrum {

// Membership per 8-bit character code.
using ItemCharacters = std::array<bool, 256>;

// The thirteen item characters "-", ".", "/" and "0" to "9" (codes 45 to 57).
const ItemCharacters& item_characters();

// The item number "n" of "line": a view into "line" of the n-th maximal run
// of characters in "set", or empty when "n" is below 1 or above the count.
std::string_view get_item(std::string_view line, std::int32_t n,
                          const ItemCharacters& set);

}  // namespace kadrum

namespace kadrum {

// Takes several items of one line with a single walk: asking for items in
// rising order continues where the last one ended, so a row of three items
// reads its line once. Gives the same texts as get_item.
class ItemWalk {
 public:
  ItemWalk(std::string_view line, const ItemCharacters& set)
      : line_(line), set_(set) {}

  std::string_view item(std::int32_t n);

 private:
  std::string_view line_;
  const ItemCharacters& set_;
  std::size_t next_ = 0;     // where the walk goes on
  std::int32_t count_ = 0;   // items passed so far
};

}  // namespace kadrum
