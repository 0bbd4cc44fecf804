#include "base/integer_text.h"

#include "base/error.h"
#include "base/messages.h"

namespace kadrum {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

namespace {

std::optional<std::uint32_t> parse_hex(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint32_t value = 0;
  int significant = 0;
  for (const char c : digits) {
    const int digit = hex_digit(c);
    if (digit < 0) return std::nullopt;
    if (significant > 0 || digit != 0) ++significant;
    if (significant > 8) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

// The magnitude, at most 2^31 so that both signs can be checked afterwards.
std::optional<std::uint32_t> parse_decimal(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > 0x80000000u) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::int32_t> parse_integer_text(std::string_view text) {
  std::size_t pos = text.find_first_not_of(' ');
  if (pos == std::string_view::npos) return std::nullopt;
  bool negative = false;
  if (text[pos] == '+' || text[pos] == '-') negative = text[pos++] == '-';
  std::string_view body = text.substr(pos);

  if (body.starts_with('$') || body.starts_with('x') || body.starts_with('X') ||
      body.starts_with("0x") || body.starts_with("0X")) {
    body.remove_prefix(body[0] == '0' ? 2 : 1);
    const auto pattern = parse_hex(body);
    if (!pattern) return std::nullopt;
    // Unsigned arithmetic wraps, so "-$80000000" stays -2147483648.
    const std::uint32_t bits = negative ? 0u - *pattern : *pattern;
    return static_cast<std::int32_t>(bits);
  }

  const auto magnitude = parse_decimal(body);
  if (!magnitude) return std::nullopt;
  if (negative) return static_cast<std::int32_t>(0u - *magnitude);
  if (*magnitude > 0x7FFFFFFFu) return std::nullopt;
  return static_cast<std::int32_t>(*magnitude);
}

std::int32_t integer_text_value(std::string_view text) {
  const auto value = parse_integer_text(text);
  if (!value) {
    throw Error(fill_message(messages::not_an_integer, {text}));
  }
  return *value;
}

}  // namespace kadrum
