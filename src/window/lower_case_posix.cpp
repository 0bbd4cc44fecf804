#include "window/lower_case.h"

#include <locale.h>
#include <wctype.h>

#include "base/utf8.h"

namespace kadrum {

namespace {

// C.UTF-8 knows the case of every Unicode letter and is there on every
// Debian system; the user's own locale might know only ASCII.
locale_t unicode_locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

}  // namespace

std::string lower_case(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const locale_t locale = unicode_locale();
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t size = utf8_char_size(text, pos);
    const char32_t c = utf8_decode(text, pos, size);
    if (c == 0xFFFD && size == 1) {
      out += text[pos];  // not UTF-8: kept as it is
    } else {
      const wint_t lower = locale != locale_t{} ? towlower_l(static_cast<wint_t>(c), locale)
                           : c >= U'A' && c <= U'Z' ? c + 32 : c;
      char bytes[4];
      out.append(bytes, utf8_encode(static_cast<char32_t>(lower), bytes));
    }
    pos += size;
  }
  return out;
}

}  // namespace kadrum
