#include "convert/value_conversion.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "base/error.h"
#include "base/integer_text.h"
#include "base/messages.h"
#include "base/utf8.h"
#include "convert/date_text.h"
#include "convert/float_text.h"

namespace kadrum {

namespace {

constexpr std::string_view kFloatingMessage =
    "'%s' ist kein gültiger Fließkommawert für Feld '%s'";
constexpr std::string_view kIntegerMessage =
    "'%s' ist kein gültiger Integerwert für Feld '%s'";
constexpr std::string_view kRangeMessage =
    "%g ist kein gültiger Wert für das Feld '%s'. Der zulässige Bereich ist %g "
    "bis %g";
constexpr std::string_view kReadOnlyMessage =
    messages::field_not_writable;
constexpr std::string_view kDateTimeMessage =
    "'%s' ist keine gültige Datums- und Uhrzeitangabe";
constexpr std::string_view kDateMessage = "'%s' ist kein gültiges Datum";
constexpr std::string_view kTimeMessage = "'%s' ist keine gültige Uhrzeit";
constexpr std::string_view kBooleanMessage =
    "'%s' ist kein gültiger boolescher Wert für Feld '%s'";
constexpr std::string_view kOverflowMessage = messages::float_overflow;

[[noreturn]] void fail(std::string_view format, std::string_view text,
                       std::string_view field_name) {
  throw LineFault(fill_message(format, {text, field_name}));
}

// The range message's numbers are whole numbers, written as decimal text.
[[noreturn]] void fail_range(std::int32_t value, std::string_view field_name,
                             std::int32_t low, std::int32_t high) {
  throw LineFault(fill_message(kRangeMessage, {std::to_string(value), field_name,
                                    std::to_string(low),
                                    std::to_string(high)}));
}

Value convert_floating(std::string_view text, std::string_view field_name,
                       const LocaleFormats& formats) {
  const FloatTextResult result =
      parse_float_text(text, formats.decimal_separator);
  switch (result.status) {
    case FloatTextStatus::ok: return result.value;
    case FloatTextStatus::overflow: throw LineFault(std::string(kOverflowMessage));
    case FloatTextStatus::invalid: break;
  }
  throw FloatTextError(fill_message(kFloatingMessage, {text, field_name}), text);
}

// The exact decimal that "text" spells, after the float-text rule has
// accepted it: with "." as separator, no blanks, a mantissa without digits
// as 0. A double would lose the digits beyond its 17th.
Value convert_decimal(std::string_view text, std::string_view field_name,
                      const LocaleFormats& formats) {
  const std::string_view separator = formats.decimal_separator;
  if (parse_float_text(text, separator).status != FloatTextStatus::ok)
    return convert_floating(text, field_name, formats);  // throws its message
  std::string sign, whole, fraction, exponent;
  std::size_t i = text.find_first_not_of(' ');
  if (text[i] == '+' || text[i] == '-') sign += text[i++];
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') whole += text[i++];
  if (text.substr(i).starts_with(separator)) {
    i += separator.size();
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') fraction += text[i++];
  }
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    exponent += 'e';
    for (++i; i < text.size() && text[i] != ' '; ++i) exponent += text[i];
  }
  if (whole.empty() && fraction.empty()) return std::string("0");
  std::string exact = sign;
  exact.append(whole.empty() ? std::string_view("0") : std::string_view(whole));
  if (!fraction.empty()) exact.append(".").append(fraction);
  exact.append(exponent);
  return exact;
}

Value convert_currency(std::string_view text, std::string_view field_name,
                       const LocaleFormats& formats) {
  // Scaling by the exponent keeps 0.00015 exactly 1.5 before rounding.
  const std::optional<long double> scaled =
      parse_extended_float_text(text, formats.decimal_separator, 4);
  if (scaled) {
    const long double rounded = std::nearbyint(*scaled);  // halves to even
    constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
    if (rounded >= -kLimit && rounded < kLimit)
      return Currency{static_cast<std::int64_t>(rounded)};
  }
  throw FloatTextError(fill_message(kFloatingMessage, {text, field_name}), text);
}

Value convert_integer(std::string_view text, std::string_view field_name,
                      std::int32_t low, std::int32_t high) {
  const std::optional<std::int32_t> value = parse_integer_text(text);
  if (!value) fail(kIntegerMessage, text, field_name);
  if (*value < low || *value > high) fail_range(*value, field_name, low, high);
  return *value;
}

bool equals_prefix_ignoring_case(std::string_view text, std::string_view word) {
  if (text.size() > word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    char w = word[i];
    if (w >= 'a' && w <= 'z') w = static_cast<char>(w - 'a' + 'A');
    if (c != w) return false;
  }
  return true;
}

Value convert_boolean(std::string_view text, std::string_view field_name) {
  if (equals_prefix_ignoring_case(text, "Falsch")) return false;
  if (equals_prefix_ignoring_case(text, "Wahr")) return true;
  fail(kBooleanMessage, text, field_name);
}

Value convert_date_kind(std::string_view text, FieldKind kind,
                        const LocaleFormats& formats) {
  std::optional<DateTime> value;
  std::string_view message;
  switch (kind) {
    case FieldKind::date:
      value = parse_date_text(text, formats);
      message = kDateMessage;
      break;
    case FieldKind::time:
      value = parse_time_text(text, formats);
      message = kTimeMessage;
      break;
    default:
      value = parse_datetime_text(text, formats);
      message = kDateTimeMessage;
      break;
  }
  if (!value) throw LineFault(fill_message(message, {text}));
  return *value;
}

}  // namespace

Value convert_value(std::string_view text, FieldKind kind,
                    std::string_view field_name, int declared_size,
                    const LocaleFormats& formats) {
  switch (kind) {
    case FieldKind::autoincrement:
      throw Error(fill_message(kReadOnlyMessage, {field_name}));
    case FieldKind::unicode_text:
      return std::string(text);
    case FieldKind::ansi_text:
      if (declared_size > 0)
        return std::string(
            utf8_prefix(text, static_cast<std::size_t>(declared_size)));
      return std::string(text);
    default:
      break;
  }
  if (text.empty()) return std::monostate{};
  switch (kind) {
    case FieldKind::floating:
      return convert_floating(text, field_name, formats);
    case FieldKind::decimal:
      return convert_decimal(text, field_name, formats);
    case FieldKind::currency:
      return convert_currency(text, field_name, formats);
    case FieldKind::integer32:
      return convert_integer(text, field_name, INT32_MIN, INT32_MAX);
    case FieldKind::integer16:
      return convert_integer(text, field_name, -32768, 32767);
    case FieldKind::unsigned16:
      return convert_integer(text, field_name, 0, 65535);
    case FieldKind::boolean:
      return convert_boolean(text, field_name);
    case FieldKind::datetime:
    case FieldKind::date:
    case FieldKind::time:
      return convert_date_kind(text, kind, formats);
    case FieldKind::autoincrement:
    case FieldKind::unicode_text:
    case FieldKind::ansi_text:
      break;
  }
  return std::monostate{};
}

}  // namespace kadrum
