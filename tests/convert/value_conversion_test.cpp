#include "convert/value_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "base/error.h"

namespace kadrum {
namespace {

const LocaleFormats kPoint{".", "%m/%d/%y", "%H:%M:%S"};
const LocaleFormats kComma{",", "%d.%m.%Y", "%T"};
const LocaleFormats kUnitedStates{".", "%m/%d/%Y", "%r"};

// The message convert_value throws, or "" when it converts.
std::string message_of(std::string_view text, FieldKind kind,
                       std::string_view field = "f",
                       const LocaleFormats& formats = kPoint) {
  try {
    convert_value(text, kind, field, 0, formats);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

// "text" in single quotes, then "rest".
std::string quoted(std::string_view text, std::string_view rest) {
  std::string out(1, '\'');
  out.append(text).append(1, '\'').append(rest);
  return out;
}

TEST(ValueConversion, FloatingUsesOnlyTheLocaleSeparator) {
  EXPECT_EQ(convert_value("12.5", FieldKind::floating, "W1", 0, kPoint),
            Value(12.5));
  EXPECT_EQ(convert_value("12", FieldKind::floating, "W1", 0, kComma),
            Value(12.0));
  EXPECT_EQ(convert_value("-03", FieldKind::floating, "W1", 0, kComma),
            Value(-3.0));
  EXPECT_EQ(convert_value("12,5", FieldKind::floating, "W1", 0, kComma),
            Value(12.5));
  EXPECT_EQ(message_of("12.5", FieldKind::floating, "W1", kComma),
            "'12.5' ist kein gültiger Fließkommawert für Feld 'W1'");
  EXPECT_EQ(message_of("1990/01/02", FieldKind::floating, "jday"),
            "'1990/01/02' ist kein gültiger Fließkommawert für Feld 'jday'");
  // The text appears exactly as handed, blanks included.
  EXPECT_EQ(message_of(" 1 2 ", FieldKind::floating, "sval"),
            "' 1 2 ' ist kein gültiger Fließkommawert für Feld 'sval'");
}

TEST(ValueConversion, FloatingEdgesKeepSignAndRange) {
  const Value zero = convert_value("-0", FieldKind::floating, "W1", 0, kPoint);
  ASSERT_TRUE(std::holds_alternative<double>(zero));
  EXPECT_TRUE(std::signbit(std::get<double>(zero)));
  EXPECT_EQ(convert_value(".", FieldKind::floating, "W1", 0, kPoint),
            Value(0.0));
  const Value sub =
      convert_value("1e-320", FieldKind::floating, "W1", 0, kPoint);
  EXPECT_EQ(std::fpclassify(std::get<double>(sub)), FP_SUBNORMAL);
  EXPECT_EQ(message_of("1" + std::string(309, '0'), FieldKind::floating),
            "Gleitkommaüberlauf");
}

// Fault: exact decimal columns took the value through a double.
TEST(ValueConversion, DecimalKeepsEveryDigitAndTheFloatingChecks) {
  const std::pair<const char*, const char*> exact[] = {
      {"12345678901234567890", "12345678901234567890"}, {"9007199254740993", "9007199254740993"},
      {" -,5 ", "-0.5"}, {"+1,250", "+1.250"}, {"7,", "7"}, {",", "0"}, {"-1,5e-3", "-1.5e-3"},
  };
  for (const auto& [text, sent] : exact)
    EXPECT_EQ(convert_value(text, FieldKind::decimal, "W1", 0, kComma), Value(std::string(sent)))
        << text;
  EXPECT_EQ(message_of("12.5", FieldKind::decimal, "W1", kComma),
            "'12.5' ist kein gültiger Fließkommawert für Feld 'W1'");
  EXPECT_EQ(message_of("1" + std::string(309, '0'), FieldKind::decimal), "Gleitkommaüberlauf");
}

TEST(ValueConversion, EmptyTextIsNullExceptForTextKinds) {
  for (FieldKind kind :
       {FieldKind::floating, FieldKind::currency, FieldKind::integer32,
        FieldKind::integer16, FieldKind::unsigned16, FieldKind::datetime,
        FieldKind::date, FieldKind::time, FieldKind::boolean})
    EXPECT_EQ(convert_value("", kind, "f", 0, kPoint), Value())
        << static_cast<int>(kind);
  EXPECT_EQ(convert_value("", FieldKind::unicode_text, "f", 0, kPoint),
            Value(std::string()));
  EXPECT_EQ(convert_value("", FieldKind::ansi_text, "f", 10, kPoint),
            Value(std::string()));
}

TEST(ValueConversion, CurrencyRoundsHalvesToEven) {
  const struct {
    const char* text;
    std::int64_t scaled;
  } cases[] = {
      {"0.00005", 0},     {"0.00015", 2},     {"0.00025", 2},
      {"-0.00015", -2},   {"1.23456", 12346}, {"12.5", 125000},
      {"922337203685477.5807", INT64_MAX},
      {"-922337203685477.5808", INT64_MIN},
  };
  for (const auto& c : cases)
    EXPECT_EQ(convert_value(c.text, FieldKind::currency, "c", 0, kPoint),
              Value(Currency{c.scaled}))
        << c.text;
}

TEST(ValueConversion, CurrencyBeyondInt64UsesTheFloatingMessage) {
  for (const char* text :
       {"922337203685477.5808", "-922337203685477.5809", "1e300", "1e500",
        "1E5000", "12,5"})
    EXPECT_EQ(message_of(text, FieldKind::currency, "c"),
              quoted(text, " ist kein gültiger Fließkommawert für Feld 'c'"));
}

TEST(ValueConversion, IntegerKindsCheckTheirRanges) {
  const struct {
    const char* text;
    FieldKind kind;
    std::int32_t value;
  } accepted[] = {
      {"32767", FieldKind::integer16, 32767},
      {"-32768", FieldKind::integer16, -32768},
      {"65535", FieldKind::unsigned16, 65535},
      {"0", FieldKind::unsigned16, 0},
      {"2147483647", FieldKind::integer32, INT32_MAX},
      {"-2147483648", FieldKind::integer32, INT32_MIN},
      {"$FFFFFFFF", FieldKind::integer32, -1},
      {"  +12", FieldKind::integer32, 12},
  };
  for (const auto& c : accepted)
    EXPECT_EQ(convert_value(c.text, c.kind, "n", 0, kPoint), Value(c.value))
        << c.text;

  const struct {
    const char* text;
    FieldKind kind;
    const char* message;
  } refused[] = {
      {"32768", FieldKind::integer16,
       "32768 ist kein gültiger Wert für das Feld 'n'. Der zulässige Bereich "
       "ist -32768 bis 32767"},
      {"-32769", FieldKind::integer16,
       "-32769 ist kein gültiger Wert für das Feld 'n'. Der zulässige Bereich "
       "ist -32768 bis 32767"},
      {"40000", FieldKind::integer16,
       "40000 ist kein gültiger Wert für das Feld 'n'. Der zulässige Bereich "
       "ist -32768 bis 32767"},
      {"65536", FieldKind::unsigned16,
       "65536 ist kein gültiger Wert für das Feld 'n'. Der zulässige Bereich "
       "ist 0 bis 65535"},
      {"-1", FieldKind::unsigned16,
       "-1 ist kein gültiger Wert für das Feld 'n'. Der zulässige Bereich ist "
       "0 bis 65535"},
      {"2147483648", FieldKind::integer32,
       "'2147483648' ist kein gültiger Integerwert für Feld 'n'"},
      {"-2147483649", FieldKind::integer16,
       "'-2147483649' ist kein gültiger Integerwert für Feld 'n'"},
      {"12.5", FieldKind::integer32,
       "'12.5' ist kein gültiger Integerwert für Feld 'n'"},
      {"1990/01/02", FieldKind::unsigned16,
       "'1990/01/02' ist kein gültiger Integerwert für Feld 'n'"},
  };
  for (const auto& c : refused)
    EXPECT_EQ(message_of(c.text, c.kind, "n"), c.message) << c.text;
}

TEST(ValueConversion, AutoIncrementRefusesEveryTextEvenEmpty) {
  for (const char* text : {"", "1", "abc"})
    EXPECT_EQ(message_of(text, FieldKind::autoincrement, "ID"),
              "Feld 'ID' kann nicht verändert werden")
        << text;
}

TEST(ValueConversion, UnicodeTextIsNeverCutAnsiTextIsCutByCharacters) {
  const std::string long_text(5000, 'x');
  EXPECT_EQ(convert_value(long_text, FieldKind::unicode_text, "t", 10, kPoint),
            Value(long_text));
  EXPECT_EQ(convert_value("äöüß", FieldKind::ansi_text, "t", 3, kPoint),
            Value(std::string("äöü")));
  EXPECT_EQ(convert_value("abc", FieldKind::ansi_text, "t", 5, kPoint),
            Value(std::string("abc")));
  EXPECT_EQ(convert_value(long_text, FieldKind::ansi_text, "t", 0, kPoint),
            Value(long_text));
}

TEST(ValueConversion, BooleanTakesPrefixesOfFalschAndWahr) {
  const struct {
    const char* text;
    bool value;
  } accepted[] = {{"f", false},      {"FA", false}, {"falsch", false},
                  {"FaLsCh", false}, {"w", true},   {"WAHR", true},
                  {"wah", true}};
  for (const auto& c : accepted)
    EXPECT_EQ(convert_value(c.text, FieldKind::boolean, "b", 0, kPoint),
              Value(c.value))
        << c.text;
  for (const char* text : {"falsche", "wahre", "x", "1", "0", " f", "true"})
    EXPECT_EQ(message_of(text, FieldKind::boolean, "b"),
              quoted(text, " ist kein gültiger boolescher Wert für Feld 'b'"))
        << text;
}

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return DateTime{y, mo, d, h, mi, s};
}

TEST(ValueConversion, DateKindsFollowTheLocaleFormats) {
  const struct {
    const char* text;
    FieldKind kind;
    const LocaleFormats* formats;
    DateTime value;
  } accepted[] = {
      {"24.12.2023", FieldKind::date, &kComma, at(2023, 12, 24)},
      {" 1.2.03 ", FieldKind::date, &kComma, at(2003, 2, 1)},
      {"29.02.2024", FieldKind::date, &kComma, at(2024, 2, 29)},
      {"29.02.2000", FieldKind::date, &kComma, at(2000, 2, 29)},
      {"01.01.50", FieldKind::date, &kComma, at(1950, 1, 1)},
      {"31.12.49", FieldKind::date, &kComma, at(2049, 12, 31)},
      {"12/24/23", FieldKind::date, &kPoint, at(2023, 12, 24)},
      {"23:59:59", FieldKind::time, &kComma, at(1899, 12, 30, 23, 59, 59)},
      {"7:05", FieldKind::time, &kPoint, at(1899, 12, 30, 7, 5, 0)},
      {"12:30 am", FieldKind::time, &kUnitedStates, at(1899, 12, 30, 0, 30)},
      {"12:30 PM", FieldKind::time, &kUnitedStates, at(1899, 12, 30, 12, 30)},
      {"1:00:00 PM", FieldKind::time, &kUnitedStates, at(1899, 12, 30, 13)},
      {"24.12.2023 18:30", FieldKind::datetime, &kComma,
       at(2023, 12, 24, 18, 30)},
      {"24.12.2023", FieldKind::datetime, &kComma, at(2023, 12, 24)},
      {"12/24/2023 6:30:00 PM", FieldKind::datetime, &kUnitedStates,
       at(2023, 12, 24, 18, 30)},
  };
  for (const auto& c : accepted)
    EXPECT_EQ(convert_value(c.text, c.kind, "d", 0, *c.formats),
              Value(c.value))
        << c.text;
}

TEST(ValueConversion, ImpossibleDatesAndTimesAreRefused) {
  const struct {
    const char* text;
    FieldKind kind;
    const LocaleFormats* formats;
    const char* message;
  } refused[] = {
      {"29.02.2023", FieldKind::date, &kComma,
       "'29.02.2023' ist kein gültiges Datum"},
      {"29.02.1900", FieldKind::date, &kComma,
       "'29.02.1900' ist kein gültiges Datum"},
      {"31.04.2023", FieldKind::date, &kComma,
       "'31.04.2023' ist kein gültiges Datum"},
      {"2023-12-24", FieldKind::date, &kComma,
       "'2023-12-24' ist kein gültiges Datum"},
      {"24/12/23", FieldKind::date, &kPoint,
       "'24/12/23' ist kein gültiges Datum"},
      {"1.5", FieldKind::date, &kComma, "'1.5' ist kein gültiges Datum"},
      {"24:00", FieldKind::time, &kComma, "'24:00' ist keine gültige Uhrzeit"},
      {"12:60", FieldKind::time, &kComma, "'12:60' ist keine gültige Uhrzeit"},
      {"10:00 PM", FieldKind::time, &kComma,
       "'10:00 PM' ist keine gültige Uhrzeit"},
      {"13:00 PM", FieldKind::time, &kUnitedStates,
       "'13:00 PM' ist keine gültige Uhrzeit"},
      {"12.5", FieldKind::time, &kComma, "'12.5' ist keine gültige Uhrzeit"},
      {"24.12.2023 25:00", FieldKind::datetime, &kComma,
       "'24.12.2023 25:00' ist keine gültige Datums- und Uhrzeitangabe"},
      {"24.12.202318:00", FieldKind::datetime, &kComma,
       "'24.12.202318:00' ist keine gültige Datums- und Uhrzeitangabe"},
  };
  for (const auto& c : refused)
    EXPECT_EQ(message_of(c.text, c.kind, "d", *c.formats), c.message)
        << c.text;
}

TEST(ValueConversion, DateOrderComesFromIsoAndCompoundConversions) {
  const LocaleFormats iso{".", "%F", "%T"};
  EXPECT_EQ(convert_value("2023-12-24", FieldKind::date, "d", 0, iso),
            Value(at(2023, 12, 24)));
  const LocaleFormats compound{".", "%D", "%T"};
  EXPECT_EQ(convert_value("12/24/23", FieldKind::date, "d", 0, compound),
            Value(at(2023, 12, 24)));
  const LocaleFormats flags{".", "%Y. %-m. %-d.", "%T"};
  EXPECT_EQ(convert_value("2023.12.24", FieldKind::date, "d", 0, flags),
            Value(at(2023, 12, 24)));
}

}  // namespace
}  // namespace kadrum
