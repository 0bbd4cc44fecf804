#include "db/access.h"

#include <cctype>

namespace kadrum {

bool is_access_file(std::string_view source) {
  std::string lower(source);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.ends_with(".mdb") || lower.ends_with(".accdb");
}

std::string access_odbc_source(std::string_view path) {
  // A value with ";" or "}" is braced, and a "}" in it doubled.
  std::string value(path);
  if (value.find_first_of(";{}") != std::string::npos || value.starts_with(' ')) {
    std::string braced = "{";
    for (const char c : value) {
      braced += c;
      if (c == '}') braced += '}';
    }
    value = braced + "}";
  }
  return "odbc:Driver={" + std::string(kAccessDriver) + "};DBQ=" + value;
}

}  // namespace kadrum
