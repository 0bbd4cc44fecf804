#include "import/import_run.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "base/error.h"
#include "base/integer_text.h"
#include "base/messages.h"
#include "base/utf8.h"
#include "import/file_byte_source.h"
#include "import/item.h"
#include "import/line_reader.h"
#include "import/line_cursor.h"
#include "import/text_decoder.h"

namespace kadrum {

namespace {

constexpr std::size_t kMaxFileNameLength = 259;

// A row has three values: list mode takes at most the first three entries
// of itemlist. Later entries are ignored, neither converted nor reported.
constexpr std::size_t kRowValues = 3;

// Which item of a line goes to each value of its row.
struct ItemNumbers {
  std::array<std::int32_t, kRowValues> item{};
  std::size_t used = 0;
};

// Throws messages::not_an_integer for the first bad number.
ItemNumbers item_numbers(const RunSettings& settings) {
  ItemNumbers numbers;
  if (settings.list_mode) {
    numbers.used = std::min(settings.item_list.size(), kRowValues);
    for (std::size_t p = 0; p < numbers.used; ++p)
      numbers.item[p] = integer_text_value(settings.item_list[p]);
  } else {
    numbers.item = {1, 2, integer_text_value(settings.item_number)};
    numbers.used = kRowValues;
  }
  return numbers;
}

Row build_row(const ItemNumbers& numbers, std::string_view line) {
  ItemWalk items(line, item_characters());
  Row row{};
  for (std::size_t p = 0; p < numbers.used; ++p) row[p] = items.item(numbers.item[p]);
  return row;
}

}  // namespace

std::unique_ptr<ByteSource> open_text_file(const RunSettings& settings) {
  if (utf8_length(settings.text_file) > kMaxFileNameLength)
    throw Error(fill_message(messages::invalid_file_name, {settings.text_file}));
  return std::make_unique<FileByteSource>(settings.text_file);
}

void check_numbers(const RunSettings& settings) {
  integer_text_value(settings.header_lines);
  item_numbers(settings);
}

RowBuilder::RowBuilder(const RunSettings& settings) {
  const ItemNumbers numbers = item_numbers(settings);
  item_ = numbers.item;
  used_ = numbers.used;
}

Row RowBuilder::operator()(std::string_view line) const {
  return build_row(ItemNumbers{item_, used_}, line);
}

void import_run(const RunSettings& settings, const AppendOperation& append,
                ImportProgress* progress) {
  if (progress) *progress = ImportProgress{};
  const std::unique_ptr<ByteSource> file = open_text_file(settings);
  import_run(settings, *file, append, progress);
}

void import_lines(const RunSettings& settings, LineCursor& cursor, const AppendOperation& append,
                  ImportProgress& at, const std::function<bool()>& stop, LineRejects* rejects) {
  // Made at the first data line, so that a bad item number is reported
  // there and a file without data lines never converts one.
  std::optional<RowBuilder> rows;
  std::string_view line;
  if (rejects) cursor.cut_long_lines();
  const auto rejected = [&](const std::exception& error) {
    return rejects->reject({cursor.lines(), cursor.line_start(), cursor.offset(), line,
                            cursor.line_cut()},
                           error);
  };
  try {
    while (cursor.next(line)) {
      at.line = cursor.lines();
      if (at.first_line == 0) at.first_line = at.line;
      at.in_data_line = true;
      at.line_text = line;
      at.line_start = cursor.line_start();
      if (!rows) rows.emplace(settings);
      if (!rejects) {
        append((*rows)(line));
        ++at.rows;
      } else if (cursor.line_cut()) {
        const LineFault too_long(long_line_message(at.line, cursor.max_line_length()));
        if (!rejected(too_long)) throw too_long;
      } else {
        try {
          append((*rows)(line));
          ++at.rows;
        } catch (const std::exception& error) {
          if (!rejected(error)) throw;
        }
      }
      at.in_data_line = false;
      if (stop && stop()) return;
    }
  } catch (...) {
    if (!at.in_data_line) at.line = cursor.lines();
    throw;
  }
  at.line = cursor.lines();
}

void import_run(const RunSettings& settings, ByteSource& file,
                const AppendOperation& append, ImportProgress* progress,
                LineRejects* rejects) {
  ImportProgress local;
  ImportProgress& at = progress ? *progress : local;
  at = ImportProgress{};
  CursorStart start;
  start.headers_left = integer_text_value(settings.header_lines);
  TextDecoder text(file);
  LineCursor cursor(text, start, false);
  import_lines(settings, cursor, append, at, {}, rejects);
}

}  // namespace kadrum
