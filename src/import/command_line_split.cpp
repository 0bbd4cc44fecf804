#include "import/argument_grammar.h"

namespace kadrum {

namespace {

// U+0001 to U+0020 are single bytes in UTF-8, never part of a longer sequence.
bool is_separator(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x01 && byte <= 0x20;
}

}  // namespace

std::vector<std::string> split_command_line(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> args;
  bool program_name = true;
  std::size_t pos = 0;
  for (;;) {
    while (pos < text.size()) {
      if (is_separator(text[pos])) {
        ++pos;
      } else if (text.compare(pos, 2, "\"\"") == 0) {
        pos += 2;
      } else {
        break;
      }
    }
    if (pos == text.size()) break;

    std::string arg;
    bool quoted = false;
    for (; pos < text.size(); ++pos) {
      const char c = text[pos];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && is_separator(c)) {
        break;
      } else {
        arg += c;
      }
    }
    // Only a lone quote at the very end gives an empty argument.
    if (arg.empty()) break;
    if (program_name) {
      program_name = false;
    } else {
      args.push_back(std::move(arg));
    }
  }
  return args;
}

}  // namespace kadrum
