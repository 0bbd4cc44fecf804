#include "convert/float_text.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace kadrum {

namespace {

// 10^0 to 10^27 are exact in a 64-bit significand (5^27 < 2^64).
constexpr int kExactPowers = 28;

constexpr std::array<long double, kExactPowers> make_exact_powers() {
  std::array<long double, kExactPowers> powers{};
  long double p = 1.0L;
  for (int i = 0; i < kExactPowers; ++i) {
    powers[i] = p;
    p *= 10.0L;
  }
  return powers;
}

constexpr auto kPowers = make_exact_powers();

// A value (hi + lo) * 2^exp2 with about twice the extended precision, so a
// power of ten built from a dozen products still rounds correctly at the end.
// hi stays in [0.5, 1), which keeps the products far from overflow.
struct Wide {
  long double hi;
  long double lo;
  long exp2;
};

Wide normalized(long double hi, long double lo, long exp2) {
  int k = 0;
  hi = std::frexp(hi, &k);
  return {hi, std::ldexp(lo, -k), exp2 + k};
}

// Veltkamp split of a 64-bit significand into two 32-bit halves.
void split(long double a, long double& high, long double& low) {
  constexpr long double kSplitter = 4294967297.0L;  // 2^32 + 1
  const long double t = kSplitter * a;
  high = t - (t - a);
  low = a - high;
}

Wide multiply(const Wide& a, const Wide& b) {
  const long double p = a.hi * b.hi;
  long double ah, al, bh, bl;
  split(a.hi, ah, al);
  split(b.hi, bh, bl);
  long double err = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
  err += a.hi * b.lo + a.lo * b.hi;
  const long double s = p + err;
  return normalized(s, err - (s - p), a.exp2 + b.exp2);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

long double extended_power_of_ten(long n) {
  if (n < kExactPowers) return kPowers[n];
  // 10^4933 already exceeds the extended range.
  if (n > 5000) return HUGE_VALL;
  Wide result{0.5L, 0.0L, 1};
  Wide base = normalized(10.0L, 0.0L, 0);
  for (;;) {
    if (n & 1) result = multiply(result, base);
    n >>= 1;
    if (n == 0) break;
    base = multiply(base, base);
  }
  return std::ldexp(result.hi + result.lo, static_cast<int>(result.exp2));
}

std::optional<long double> parse_extended_float_text(std::string_view text,
                                                     std::string_view separator,
                                                     int scale) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && text[i] == ' ') ++i;

  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }

  // The digits are gathered as mantissa * 10 + digit in extended precision.
  // While the number has at most 19 digits every such step is exact there
  // (below 2^64), so a 64-bit integer gives the same value, much faster;
  // from the 20th digit on, the extended steps with their rounding go on.
  std::uint64_t whole = 0;
  int whole_digits = 0;
  long double mantissa = 0.0L;
  const auto add_digit = [&](char c) {
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (whole_digits < 19) {
      whole = whole * 10 + digit;
      if (++whole_digits == 19) mantissa = static_cast<long double>(whole);
    } else {
      mantissa = mantissa * 10.0L + digit;
    }
  };
  bool consumed = false;
  while (i < n && is_digit(text[i])) {
    add_digit(text[i]);
    consumed = true;
    ++i;
  }
  long fraction_digits = 0;
  if (!separator.empty() && text.substr(i).starts_with(separator)) {
    i += separator.size();
    consumed = true;
    while (i < n && is_digit(text[i])) {
      add_digit(text[i]);
      ++fraction_digits;
      ++i;
    }
  }
  if (!consumed) return std::nullopt;
  if (whole_digits < 19) mantissa = static_cast<long double>(whole);

  long exponent = 0;
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool exponent_negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      exponent_negative = text[i] == '-';
      ++i;
    }
    // Reading stops right after the digit that brings the exponent to 500.
    while (i < n && is_digit(text[i]) && exponent < 500) {
      exponent = exponent * 10 + (text[i] - '0');
      ++i;
    }
    if (exponent_negative) exponent = -exponent;
  }

  while (i < n && text[i] == ' ') ++i;
  if (i != n) return std::nullopt;
  if (std::isinf(mantissa)) return std::nullopt;

  const long e = exponent - fraction_digits + scale;
  long double value = mantissa;
  if (e != 0) {
    const long double power = extended_power_of_ten(e > 0 ? e : -e);
    if (std::isinf(power)) return std::nullopt;
    value = e > 0 ? mantissa * power : mantissa / power;
    if (std::isinf(value)) return std::nullopt;
  }
  return negative ? -value : value;
}

FloatTextResult parse_float_text(std::string_view text,
                                 std::string_view separator) {
  const std::optional<long double> extended =
      parse_extended_float_text(text, separator);
  if (!extended) return {FloatTextStatus::invalid, 0.0};
  const double value = static_cast<double>(*extended);
  if (std::isinf(value)) return {FloatTextStatus::overflow, 0.0};
  return {FloatTextStatus::ok, value};
}

}  // namespace kadrum
