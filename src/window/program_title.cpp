#include "window/program_title.h"

#include "base/user_locale.h"
#include "base/utf8.h"

namespace kadrum {

std::string program_title(std::string_view program_path) {
  // Both separators count, so a path from another platform gives the same title.
  const std::size_t slash = program_path.find_last_of("/\\");
  std::string_view name =
      slash == std::string_view::npos ? program_path : program_path.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  // The first character, however many bytes, keeps its case.
  const std::size_t first = utf8_char_size(name, 0);
  return std::string(name.substr(0, first)) + lower_case(name.substr(first));
}

}  // namespace kadrum
