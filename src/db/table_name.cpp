#include "table_name.h"

namespace kadrum {

std::string open_form(std::string_view name) {
  std::string form(name);
  if (form.find(' ') == std::string::npos || form.front() == '[') return form;
  if (const auto dot = form.find('.'); dot != std::string::npos)
    form.replace(dot, 1, ".[");
  else
    form.insert(0, "[");
  if (const auto semicolon = form.find(';'); semicolon != std::string::npos)
    form.replace(semicolon, 1, "];");
  else
    form += ']';
  return form;
}

}  // namespace kadrum
