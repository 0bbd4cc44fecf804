// What every platform shares: the reading of Windows' date and time pictures
// (user_locale_win.cpp reads those; the tests check them everywhere).
#include "base/user_locale.h"

namespace kadrum {

std::string strftime_format_of_picture(std::string_view picture) {
  std::string format;
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    if (c == '\'') {
      // Quoted text stands for itself; '' is one quote.
      if (i + 1 < picture.size() && picture[i + 1] == '\'') {
        format += '\'';
        i += 2;
        continue;
      }
      std::size_t end = picture.find('\'', i + 1);
      if (end == std::string_view::npos) end = picture.size();
      format.append(picture.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    switch (c) {
      case 'd': format += run <= 2 ? "%d" : run == 3 ? "%a" : "%A"; break;
      case 'M': format += run <= 2 ? "%m" : run == 3 ? "%b" : "%B"; break;
      case 'y': format += run <= 2 ? "%y" : "%Y"; break;
      case 'H': format += "%H"; break;
      case 'h': format += "%I"; break;
      case 'm': format += "%M"; break;
      case 's': format += "%S"; break;
      case 't': format += "%p"; break;
      case '%': format.append(run * 2, '%'); break;
      default: format.append(run, c);
    }
    i += run;
  }
  return format;
}

}  // namespace kadrum
