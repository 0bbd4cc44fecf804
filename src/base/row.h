// A row: what one data line hands to the append operation.
#pragma once

#include <array>
#include <functional>
#include <string_view>

namespace kadrum {

// Three value texts in column order. They point into the line being read and
// stay valid only until the append operation returns.
using Row = std::array<std::string_view, 3>;

// Stores one row before it returns, or throws.
using AppendOperation = std::function<void(const Row&)>;

}  // namespace kadrum
