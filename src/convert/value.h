// A converted value, ready for the engine.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace kadrum {

struct Currency {
  std::int64_t scaled = 0;  // the amount times 10 000
  bool operator==(const Currency&) const = default;
};

struct DateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
  bool operator==(const DateTime&) const = default;
};

// std::monostate is NULL. Whole numbers of every integer kind are int32;
// texts are UTF-8.
using Value = std::variant<std::monostate, double, Currency, std::int32_t,
                           bool, std::string, DateTime>;

}  // namespace kadrum
