// Fuzzes the argument grammar (import/argument_grammar.h) and the splitting
// of one command-line text. The input is split twice: as one command-line
// text, and at its NUL bytes into raw arguments. Checks: split arguments are
// never empty and hold no quote, and quoting and joining them splits back to
// the same list; the UTF-8 character view the grammar relies on agrees with
// a decoder of its own; the parse never throws and yields what a plain model
// of the argument list in the manual pages yields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf8.h"
#include "import/argument_grammar.h"
#include "fuzz_check.h"

namespace {

using kadrum::fuzz::require;
using Args = std::vector<std::string>;

void check_split(std::string_view text, const Args& args) {
  for (const std::string& arg : args) {
    require(!arg.empty(), "split gives an empty argument", text);
    require(arg.find('"') == std::string::npos, "split keeps a quote", text);
    require(arg.find('\0') == std::string::npos, "split passes U+0000", text);
  }
  std::string quoted = "kadrum";
  for (const std::string& arg : args) quoted += " \"" + arg + '"';
  require(kadrum::split_command_line(quoted) == args,
          "quoted and joined arguments split differently", text);
}

// The byte length of a valid UTF-8 sequence at "pos", else 1, computed from
// the code point: no overlong form, no surrogate, nothing above U+10FFFF.
std::size_t decoded_size(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(text[pos + i]);
  };
  const unsigned lead = byte(0);
  std::size_t size = 0;
  std::uint32_t code = 0, minimum = 0;
  if (lead >= 0xC0 && lead < 0xE0) size = 2, code = lead & 0x1F, minimum = 0x80;
  if (lead >= 0xE0 && lead < 0xF0) size = 3, code = lead & 0x0F, minimum = 0x800;
  if (lead >= 0xF0 && lead < 0xF8) size = 4, code = lead & 0x07, minimum = 0x10000;
  if (size == 0 || pos + size > text.size()) return 1;
  for (std::size_t i = 1; i < size; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 1;
    code = code << 6 | (byte(i) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
    return 1;
  return size;
}

void check_utf8(std::string_view arg) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < arg.size(); ++count) {
    const std::size_t size = kadrum::utf8_char_size(arg, pos);
    require(size == decoded_size(arg, pos), "character size differs", arg);
    pos += size;
  }
  require(kadrum::utf8_length(arg) == count, "character count differs", arg);
  const std::string_view prefix = kadrum::utf8_prefix(arg, 3);
  require(kadrum::utf8_length(prefix) == std::min<std::size_t>(count, 3),
          "prefix is not three characters", arg);
  require(std::string(prefix) + std::string(kadrum::utf8_after(arg, 3)) == arg,
          "prefix and rest do not make the argument", arg);
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

struct Parsed {
  kadrum::RunSettings settings;
  kadrum::ParseOutcome outcome;
};

// The byte length of the first "count" characters of "text".
std::size_t prefix_size(std::string_view text, int count) {
  std::size_t pos = 0;
  for (int i = 0; i < count && pos < text.size(); ++i)
    pos += decoded_size(text, pos);
  return pos;
}

// The manual pages' argument list, applied form by form.
Parsed model(const Args& args) {
  Parsed p;
  p.settings.list_mode = true;
  for (const std::string& arg : args) {
    const std::size_t third = prefix_size(arg, 2);
    const std::string head = upper(arg.substr(0, prefix_size(arg, 3)));
    const std::string rest = arg.substr(prefix_size(arg, 3));
    const bool item_form = (arg.starts_with('I') || arg.starts_with('i')) &&
                           third < arg.size() && arg[third] == '=';
    if (head == "DB=") p.settings.database_path = rest;
    if (arg == "!") p.outcome.stay_open = false;
    if (upper(arg) == "GO") p.outcome.run = true;
    if (head == "RT=") p.settings.table_name = rest;
    if (head == "HD=") p.settings.header_lines = rest;
    if (arg == "*") p.settings.recreate = true;
    if (item_form) p.settings.item_list.push_back(rest);
    if (head == "IN=") p.settings.list_mode = false, p.settings.item_number = rest;
    if (head == "FN=") p.settings.text_file = rest;
  }
  p.settings.database_name = p.settings.database_path;
  return p;
}

void check_parse(std::string_view text, const Args& args) {
  for (const std::string& arg : args) check_utf8(arg);
  Parsed actual;
  actual.settings.list_mode = false;  // the parse must set it
  // Documented never to throw: an exception escapes and counts as a crash.
  actual.outcome = kadrum::parse_arguments(args, actual.settings);
  const Parsed expected = model(args);
  const kadrum::RunSettings& a = actual.settings;
  const kadrum::RunSettings& e = expected.settings;
  require(a.text_file == e.text_file && a.header_lines == e.header_lines && a.item_number == e.item_number &&
              a.item_list == e.item_list && a.database_name == e.database_name &&
              a.table_name == e.table_name && a.recreate == e.recreate &&
              a.list_mode == e.list_mode && a.database_path == e.database_path,
          "settings differ from the model", text);
  require(actual.outcome.run == expected.outcome.run &&
              actual.outcome.stay_open == expected.outcome.stay_open,
          "outcome differs from the model", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const Args split = kadrum::split_command_line(text);
  check_split(text, split);
  require(kadrum::split_command_line(text.substr(0, text.find('\0'))) == split,
          "split reads past U+0000", text);
  check_parse(text, split);

  Args raw;
  for (std::size_t start = 0; start <= size;) {
    const std::size_t end = std::min(text.find('\0', start), size);
    raw.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  check_parse(text, raw);
  return 0;
}
