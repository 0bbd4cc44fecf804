// Fuzzes the integer-text rule (base/integer_text.h): the parse must agree
// with a plain model of the rule as the header states it, every accepted value
// must come back from its decimal and hex forms, and integer_text_value must
// throw kadrum::Error with the whole text exactly when the parse fails.
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "base/integer_text.h"
#include "fuzz_check.h"

namespace {

using kadrum::fuzz::require;

int digit_value(char c, int base) {
  int value = 99;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// The rule written the long way round: count significant digits first, then
// compute in 64 bits, so no step depends on overflow checks.
std::optional<std::int32_t> model(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string_view body = text.substr(i);
  int base = 10;
  for (const std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
    if (body.starts_with(prefix)) {
      body.remove_prefix(prefix.size());
      base = 16;
      break;
    }
  }
  if (body.empty()) return std::nullopt;
  for (const char c : body)
    if (digit_value(c, base) < 0) return std::nullopt;
  const std::size_t first = body.find_first_not_of('0');
  const std::string_view significant =
      first == std::string_view::npos ? std::string_view{} : body.substr(first);
  if (significant.size() > (base == 16 ? 8u : 10u)) return std::nullopt;
  std::int64_t magnitude = 0;
  for (const char c : significant) magnitude = magnitude * base + digit_value(c, base);

  if (base == 16) {
    const auto bits = static_cast<std::uint32_t>(magnitude);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

void check_round_trip(std::int32_t value, std::string_view input) {
  require(kadrum::parse_integer_text(std::to_string(value)) == value,
          "decimal form does not parse back", input);
  char hex[16];
  std::snprintf(hex, sizeof hex, "$%08" PRIX32, static_cast<std::uint32_t>(value));
  require(kadrum::parse_integer_text(hex) == value,
          "hex form does not parse back", input);
  if (value >= 0)
    require(kadrum::parse_integer_text("  +" + std::to_string(value)) == value,
            "blanks and a plus sign change the value", input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::int32_t> parsed = kadrum::parse_integer_text(text);
  require(parsed == model(text), "parse differs from the model", text);
  if (parsed) check_round_trip(*parsed, text);

  try {
    const std::int32_t value = kadrum::integer_text_value(text);
    require(parsed == value, "integer_text_value accepts what the parse refuses",
            text);
  } catch (const kadrum::Error& error) {
    require(!parsed, "integer_text_value refuses an integer text", text);
    // what() is a C string: a U+0000 in the text ends the message there.
    const std::string message = "'" + text + "' ist kein gültiger Integerwert";
    require(std::string_view(error.what()) == message.c_str(),
            "message does not carry the whole text", text);
  }
  return 0;
}
