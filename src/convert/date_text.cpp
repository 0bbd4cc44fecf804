#include "convert/date_text.h"

#include <array>

#include "base/utf8.h"

namespace kadrum {

namespace {

// Day, month and year in the order the short date format writes them.
struct DateLayout {
  std::array<char, 3> fields{};
  int count = 0;
  std::string_view separator;
};

void scan_date_format(std::string_view format, DateLayout& layout) {
  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      const std::size_t size = utf8_char_size(format, i);
      // Only a character between the first and the last field separates.
      if (layout.separator.empty() && (layout.count == 1 || layout.count == 2))
        layout.separator = format.substr(i, size);
      i += size;
      continue;
    }
    ++i;
    // glibc flags, field width and the E and O modifiers change nothing here.
    while (i < format.size() &&
           std::string_view("_-0^#123456789EO").find(format[i]) !=
               std::string_view::npos)
      ++i;
    if (i >= format.size()) break;
    const char conversion = format[i++];
    char field = 0;
    switch (conversion) {
      case 'd':
      case 'e': field = 'd'; break;
      case 'm': field = 'm'; break;
      case 'y':
      case 'Y': field = 'y'; break;
      case 'D': scan_date_format("%m/%d/%y", layout); break;
      case 'F': scan_date_format("%Y-%m-%d", layout); break;
      case '%':
        if (layout.separator.empty() && (layout.count == 1 || layout.count == 2))
          layout.separator = "%";
        break;
      default: break;  // weekday names and the like are no part of the rule
    }
    if (field != 0) {
      if (layout.count < 3) layout.fields[layout.count] = field;
      ++layout.count;
    }
  }
}

DateLayout date_layout(std::string_view format) {
  DateLayout layout;
  scan_date_format(format, layout);
  const auto& f = layout.fields;
  const bool all_three = layout.count == 3 && f[0] != f[1] && f[0] != f[2] &&
                         f[1] != f[2];
  if (!all_three || layout.separator.empty())
    return DateLayout{{'m', 'd', 'y'}, 3, "/"};
  return layout;
}

// A read position in the text being parsed.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool at_end() const { return pos_ == text_.size(); }

  // Skips U+0020 blanks; returns how many.
  std::size_t skip_blanks() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    return pos_ - start;
  }

  bool take(std::string_view literal) {
    if (!text_.substr(pos_).starts_with(literal)) return false;
    pos_ += literal.size();
    return true;
  }

  // An ASCII word, compared without regard to case.
  bool take_word(std::string_view upper) {
    if (text_.size() - pos_ < upper.size()) return false;
    for (std::size_t k = 0; k < upper.size(); ++k) {
      char c = text_[pos_ + k];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != upper[k]) return false;
    }
    pos_ += upper.size();
    return true;
  }

  // One to "max_digits" decimal digits; "digits" gets their count.
  std::optional<int> number(int max_digits, int& digits) {
    int value = 0;
    digits = 0;
    while (pos_ < text_.size() && digits < max_digits && text_[pos_] >= '0' &&
           text_[pos_] <= '9') {
      value = value * 10 + (text_[pos_] - '0');
      ++digits;
      ++pos_;
    }
    // A further digit means the number is too long.
    if (digits == 0 ||
        (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'))
      return std::nullopt;
    return value;
  }

  std::size_t position() const { return pos_; }
  void set_position(std::size_t pos) { pos_ = pos; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

int days_in_month(int year, int month) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30,
                                             31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool read_date(Cursor& cursor, const LocaleFormats& formats, DateTime& out) {
  const DateLayout layout = date_layout(formats.short_date_format);
  int day = 0, month = 0, year = 0, year_digits = 0;
  for (int k = 0; k < 3; ++k) {
    if (k > 0 && !cursor.take(layout.separator)) return false;
    const char field = layout.fields[k];
    int digits = 0;
    const std::optional<int> value = cursor.number(field == 'y' ? 4 : 2, digits);
    if (!value) return false;
    if (field == 'd') day = *value;
    if (field == 'm') month = *value;
    if (field == 'y') {
      year = *value;
      year_digits = digits;
    }
  }
  if (year_digits <= 2) year += year < 50 ? 2000 : 1900;
  if (year < 1 || month < 1 || month > 12 || day < 1 ||
      day > days_in_month(year, month))
    return false;
  out.year = year;
  out.month = month;
  out.day = day;
  return true;
}

bool uses_am_pm(std::string_view time_format) {
  return time_format.find("%p") != std::string_view::npos ||
         time_format.find("%r") != std::string_view::npos;
}

bool read_time(Cursor& cursor, const LocaleFormats& formats, DateTime& out) {
  int digits = 0;
  const std::optional<int> hour = cursor.number(2, digits);
  if (!hour || !cursor.take(":")) return false;
  const std::optional<int> minute = cursor.number(2, digits);
  if (!minute) return false;
  std::optional<int> second = 0;
  if (cursor.take(":")) {
    second = cursor.number(2, digits);
    if (!second) return false;
  }
  int h = *hour;
  if (uses_am_pm(formats.time_format)) {
    const std::size_t before = cursor.position();
    bool am = false, pm = false;
    if (cursor.skip_blanks() > 0) {
      am = cursor.take_word("AM");
      pm = !am && cursor.take_word("PM");
    }
    if (am || pm) {
      if (h < 1 || h > 12) return false;
      h = h % 12 + (pm ? 12 : 0);
    } else {
      cursor.set_position(before);
    }
  }
  if (h > 23 || *minute > 59 || *second > 59) return false;
  out.hour = h;
  out.minute = *minute;
  out.second = *second;
  return true;
}

}  // namespace

std::optional<DateTime> parse_date_text(std::string_view text,
                                        const LocaleFormats& formats) {
  Cursor cursor(text);
  DateTime result;
  cursor.skip_blanks();
  if (!read_date(cursor, formats, result)) return std::nullopt;
  cursor.skip_blanks();
  if (!cursor.at_end()) return std::nullopt;
  return result;
}

std::optional<DateTime> parse_time_text(std::string_view text,
                                        const LocaleFormats& formats) {
  Cursor cursor(text);
  DateTime result;
  cursor.skip_blanks();
  if (!read_time(cursor, formats, result)) return std::nullopt;
  cursor.skip_blanks();
  if (!cursor.at_end()) return std::nullopt;
  return result;
}

std::optional<DateTime> parse_datetime_text(std::string_view text,
                                            const LocaleFormats& formats) {
  Cursor cursor(text);
  DateTime result;
  cursor.skip_blanks();
  if (!read_date(cursor, formats, result)) return std::nullopt;
  if (cursor.skip_blanks() > 0 && !cursor.at_end() &&
      !read_time(cursor, formats, result))
    return std::nullopt;
  cursor.skip_blanks();
  if (!cursor.at_end()) return std::nullopt;
  return result;
}

}  // namespace kadrum
