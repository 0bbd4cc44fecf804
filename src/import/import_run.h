// The import run: reads the text file, skips its header lines and hands one
// row per data line on. The "go" action (actions/go.h) appends those rows to
// the table; the preview prints them; --resume stores them with its
// checkpoint.
#pragma once

#include <cstdint>
#include <array>
#include <functional>
#include <memory>
#include <string_view>

#include "base/row.h"
#include "base/run_settings.h"
#include "import/byte_source.h"
#include "import/line_cursor.h"
#include "import/line_rejects.h"

namespace kadrum {

// Where the run stands; the caller may read it after the run has ended,
// whether by success or by an error.
struct ImportProgress {
  std::uint64_t line = 0;        // 1-based number of the last line read, 0 before any
  bool in_data_line = false;     // true while a data line's row is built or appended
  std::uint64_t rows = 0;        // rows whose append has returned
  std::uint64_t first_line = 0;  // the number of the first data line read, 0 before any
  // While a data line's row is appended: the line as read and where it
  // starts in the file.
  std::string_view line_text;
  std::uint64_t line_start = 0;
};

// Runs one import with "settings": opens imprtfile (standard input when the
// name is empty), skips nhdl header lines and calls "append" once per data
// line, in file order. Throws kadrum::Error with the German message on any
// failure; errors from "append" pass through unchanged. The file is closed on
// every way out. Hands over nothing when the data ends before the first data
// line. "progress", when given, is kept up to date as the run goes.
void import_run(const RunSettings& settings, const AppendOperation& append,
                ImportProgress* progress = nullptr);

// The first step of import_run: refuses a name of more than 259 characters,
// then opens imprtfile (standard input when the name is empty). Throws
// kadrum::Error with the run's message.
std::unique_ptr<ByteSource> open_text_file(const RunSettings& settings);

// Converts nhdl and the item numbers the run would use (the first three
// entries of itemlist, or itmnr), in the run's order, whether or not the file
// has a data line. Throws kadrum::Error with the run's message for the first
// that is no integer text. Lets a caller find such a typo before it changes
// anything.
void check_numbers(const RunSettings& settings);

// The row of one data line as the import run builds it. Converts the item
// numbers on construction; throws kadrum::Error as check_numbers does.
class RowBuilder {
 public:
  explicit RowBuilder(const RunSettings& settings);
  Row operator()(std::string_view line) const;

 private:
  std::array<std::int32_t, 3> item_{};
  std::size_t used_ = 0;
};

// As import_run above, reading "file" opened by open_text_file.
void import_run(const RunSettings& settings, ByteSource& file,
                const AppendOperation& append, ImportProgress* progress = nullptr,
                LineRejects* rejects = nullptr);

// The one loop of every import: calls "append" with the row of each data
// line "cursor" reads, in file order, keeping "at" up to date (its line
// counts from the file's start); after each row, ends early when "stop"
// returns true. Throws kadrum::Error for a bad item number at the first
// data line, and what the cursor and "append" throw. With "rejects", a
// line over the length limit and a line whose append throws are offered to
// it first (see LineRejects), and the run goes on when it takes them.
void import_lines(const RunSettings& settings, LineCursor& cursor, const AppendOperation& append,
                  ImportProgress& at, const std::function<bool()>& stop = {},
                  LineRejects* rejects = nullptr);

}  // namespace kadrum
