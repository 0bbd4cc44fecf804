// Fuzzes the float-text rule (convert/float_text.h). The first byte picks the
// separator, the rest is the text. The status must agree with a model of the
// rule's grammar; an accepted value must be finite, keep its sign and agree
// with the C library's strtod; overflow only for values beyond the double
// range; scale 4 must give the value times 10 000.
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "convert/float_text.h"
#include "fuzz_check.h"

namespace {

using kadrum::FloatTextStatus;
using kadrum::fuzz::require;

// Beyond about 4932 decimal orders the extended range ends, so the rule may
// refuse a text of its grammar; below this margin it must not.
constexpr long kExtendedOrders = 4900;

// What the model reads from a text of the grammar.
struct Reading {
  bool accepted = false;
  bool negative = false;
  std::string canonical;  // the same number as strtod reads it in the C locale
  long digits = 0;        // mantissa digits, leading zeros included
  long decimal_exponent = 0;  // exponent minus fraction digits
  long order = 0;         // decimal order of the first significant digit
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

Reading read_grammar(std::string_view text, std::string_view separator) {
  Reading r;
  std::size_t i = 0;
  const auto at = [&](char c) { return i < text.size() && text[i] == c; };
  while (at(' ')) ++i;
  if (at('+') || at('-')) r.negative = text[i++] == '-';
  r.canonical = r.negative ? "-" : "";

  long integer_digits = 0, fraction_digits = 0;
  long first_significant = -1;  // index among all mantissa digits
  bool consumed = false;
  while (i < text.size() && is_digit(text[i])) {
    if (first_significant < 0 && text[i] != '0') first_significant = r.digits;
    r.canonical += text[i++];
    ++r.digits;
    ++integer_digits;
    consumed = true;
  }
  if (text.substr(i).starts_with(separator)) {
    i += separator.size();
    r.canonical += '.';
    consumed = true;
    while (i < text.size() && is_digit(text[i])) {
      if (first_significant < 0 && text[i] != '0') first_significant = r.digits;
      r.canonical += text[i++];
      ++r.digits;
      ++fraction_digits;
    }
  }
  if (!consumed) return r;

  long exponent = 0;
  if (at('E') || at('e')) {
    ++i;
    bool exponent_negative = false;
    if (at('+') || at('-')) exponent_negative = text[i++] == '-';
    while (i < text.size() && is_digit(text[i]) && exponent < 500)
      exponent = exponent * 10 + (text[i++] - '0');
    if (exponent_negative) exponent = -exponent;
  }
  while (at(' ')) ++i;
  if (i != text.size()) return r;

  r.accepted = true;
  r.canonical += "e" + std::to_string(exponent);
  r.decimal_exponent = exponent - fraction_digits;
  if (first_significant >= 0)
    r.order = integer_digits - 1 - first_significant + exponent;
  return r;
}

bool near_double_limit(double value) {
  return std::fabs(value) >= DBL_MAX * (1 - 1e-12);
}

void check_accepted(std::string_view text, std::string_view separator,
                    const Reading& r) {
  const kadrum::FloatTextResult result = kadrum::parse_float_text(text, separator);
  const bool extended_range_ends = r.digits > kExtendedOrders ||
                                   std::labs(r.decimal_exponent) > kExtendedOrders ||
                                   std::labs(r.order) > kExtendedOrders;
  if (result.status == FloatTextStatus::invalid) {
    require(extended_range_ends, "refuses a text of the grammar", text);
    return;
  }
  const double reference = std::strtod(r.canonical.c_str(), nullptr);
  if (result.status == FloatTextStatus::overflow) {
    require(near_double_limit(reference), "overflow for a double value", text);
    return;
  }
  require(std::isfinite(result.value), "accepted value is not finite", text);
  require(std::signbit(result.value) == r.negative, "value lost its sign", text);
  if (std::isinf(reference)) {
    require(near_double_limit(result.value), "accepts a value beyond double",
            text);
  } else {
    require(std::fabs(result.value - reference) <=
                1e-12 * std::fabs(reference) + 1e-320,
            "value differs from strtod", text);
  }
}

// The scale is exact in the decimal exponent: away from the ends of the
// extended range, scale 4 differs from the value times 10 000 by a few units
// in the last place at most.
void check_scale(std::string_view text, std::string_view separator) {
  const std::optional<long double> plain =
      kadrum::parse_extended_float_text(text, separator);
  const std::optional<long double> scaled =
      kadrum::parse_extended_float_text(text, separator, 4);
  if (!plain || !scaled) return;
  const long double expected = *plain * 10000.0L;
  const long double magnitude = std::fabs(*plain);
  if (magnitude != 0 && (magnitude < 1e-4800L || magnitude > 1e4800L)) return;
  require(std::fabs(*scaled - expected) <= 1e-17L * std::fabs(expected),
          "scale 4 is not the value times 10 000", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::string_view kSeparators[] = {".", ",", "\xD9\xAB"};
  if (size == 0) return 0;
  const std::string_view separator = kSeparators[data[0] % 3];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  const Reading reading = read_grammar(text, separator);
  if (reading.accepted) {
    check_accepted(text, separator, reading);
  } else {
    require(kadrum::parse_float_text(text, separator).status ==
                FloatTextStatus::invalid,
            "accepts a text outside the grammar", text);
  }
  check_scale(text, separator);
  return 0;
}
