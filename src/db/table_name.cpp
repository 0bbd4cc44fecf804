#include "db/table_name.h"

namespace kadrum {

std::string open_form(std::string_view name) {
  if (name.find(' ') == std::string_view::npos || name.front() == '[')
    return std::string(name);
  std::string form;
  form.reserve(name.size() + 2);
  if (const auto dot = name.find('.'); dot != std::string_view::npos) {
    form.append(name.substr(0, dot + 1));
    form += '[';
    form.append(name.substr(dot + 1));
  } else {
    form += '[';
    form.append(name);
  }
  if (const auto semicolon = form.find(';'); semicolon != std::string::npos)
    form.insert(semicolon, 1, ']');
  else
    form += ']';
  return form;
}

}  // namespace kadrum
