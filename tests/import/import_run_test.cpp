#include "import/import_run.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/error.h"
#include "open_files.h"
#include "standard_input.h"
#include "support/temp_folder.h"

namespace kadrum {
namespace {
using testing::TempFolder;

using Values = std::array<std::string, 3>;
using Rows = std::vector<Values>;
const Values kEmpty{"", "", ""};

RunSettings single_item(std::string file, std::string nhdl, std::string itmnr) {
  RunSettings s;
  s.text_file = std::move(file);
  s.header_lines = std::move(nhdl);
  s.list_mode = false;
  s.item_number = std::move(itmnr);
  return s;
}

RunSettings list_mode(std::string file, std::string nhdl,
                      std::vector<std::string> itemlist) {
  RunSettings s;
  s.text_file = std::move(file);
  s.header_lines = std::move(nhdl);
  s.list_mode = true;
  s.item_list = std::move(itemlist);
  return s;
}

// Runs the import and keeps a copy of every row handed over.
Rows run(const RunSettings& settings, ImportProgress* progress = nullptr) {
  Rows rows;
  import_run(
      settings,
      [&](const Row& row) {
        rows.push_back({std::string(row[0]), std::string(row[1]), std::string(row[2])});
      },
      progress);
  return rows;
}

// The message of the error the run ends with, and the rows handed before it.
std::string failure(const RunSettings& settings, Rows* rows = nullptr,
                    ImportProgress* progress = nullptr) {
  Rows ignored;
  try {
    (rows ? *rows : ignored) = {};
    import_run(
        settings,
        [&](const Row& row) {
          (rows ? *rows : ignored)
              .push_back({std::string(row[0]), std::string(row[1]), std::string(row[2])});
        },
        progress);
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

struct RunCase {
  const char* label;
  std::string data;
  RunSettings settings;  // imprtfile is set to the file holding data
  Rows expected;
};

void run_cases(const std::vector<RunCase>& cases) {
  for (const RunCase& c : cases) {
    TempFolder folder;
    RunSettings settings = c.settings;
    settings.text_file = folder.write("data.txt", c.data);
    EXPECT_EQ(run(settings), c.expected) << c.label;
  }
}

TEST(ImportRun, NoDataLineHandsOverNothing) {
  run_cases({
      {"empty file", "", single_item("", "1", "3"), {}},
      {"empty file, no headers", "", single_item("", "0", "3"), {}},
      {"header only", "h\n", single_item("", "1", "3"), {}},
      {"header only, no line break", "h", single_item("", "1", "3"), {}},
      {"fewer lines than headers", "h1\nh2\n", single_item("", "5", "3"), {}},
      {"huge header count", "h1\nh2\n", single_item("", "2147483647", "3"), {}},
      {"invalid item number is never converted", "h\n", single_item("", "1", "x"), {}},
  });
}

TEST(ImportRun, BlankLinesInTheFileGiveEmptyRows) {
  run_cases({
      {"blank line after header", "h\n\n", single_item("", "1", "3"), {kEmpty}},
      {"blank line inside", "h\n1 2 3\n\n4 5 6\n", single_item("", "1", "3"),
       {{"1", "2", "3"}, kEmpty, {"4", "5", "6"}}},
      {"file ends in an empty line", "h\n1 2 3\n\n", single_item("", "1", "3"),
       {{"1", "2", "3"}, kEmpty}},
      {"blank line, no headers", "\n", single_item("", "0", "3"), {kEmpty}},
  });
}

TEST(ImportRun, LineEndsAndHeaderCountsShapeTheRows) {
  run_cases({
      {"no final line break", "h\n1 2 3", single_item("", "1", "3"), {{"1", "2", "3"}}},
      {"CR LF", "h\r\n1 2 3\r\n4 5 6\r\n", single_item("", "1", "3"),
       {{"1", "2", "3"}, {"4", "5", "6"}}},
      {"lone CR joins items", "h\n12\r34 5 6\n", single_item("", "1", "1"),
       {{"1234", "5", "1234"}}},
      {"zero headers", "1 2 3\n", single_item("", "0", "3"), {{"1", "2", "3"}}},
      {"negative headers", "1 2 3\n", single_item("", "-5", "3"), {{"1", "2", "3"}}},
      {"header count as hex", "h1\nh2\n1 2 3\n", single_item("", " $2", "3"),
       {{"1", "2", "3"}}},
      {"byte order mark", "\xEF\xBB\xBF" "1990 001 5.0\n", single_item("", "0", "3"),
       {{"1990", "001", "5.0"}}},
  });
}

TEST(ImportRun, Byte26EndsTheRunOnlyAtTheStartOfALaterDataLine) {
  run_cases({
      {"at start of second data line", "h\n1 2 3\n\x1a" "4 5 6\n",
       single_item("", "1", "3"), {{"1", "2", "3"}}},
      {"inside a line", "h\n1 2\x1a" "3 4 5\n", single_item("", "1", "3"),
       {{"1", "2", ""}, {"3", "4", "5"}}},
      {"at start of first data line", "h\n\x1a" "1 2 3\n", single_item("", "1", "3"),
       {kEmpty, {"1", "2", "3"}}},
      {"alone as first data line", "h\n\x1a", single_item("", "1", "3"), {kEmpty}},
      {"at start of a header line", "\x1a" "h\n1 2 3\n", single_item("", "1", "3"),
       {kEmpty, {"1", "2", "3"}}},
  });
}

TEST(ImportRun, SingleItemModeTakesItemsOneTwoAndItmnr) {
  run_cases({
      {"typical", "year day co2\n1990 001 1.5E-03\n", single_item("", "1", "4"),
       {{"1990", "001", "-03"}}},
      {"two items only", "1 2\n", single_item("", "0", "3"), {{"1", "2", ""}}},
      {"item number zero", "1 2 3\n", single_item("", "0", "0"), {{"1", "2", ""}}},
      {"negative item number", "1 2 3\n", single_item("", "0", "-1"), {{"1", "2", ""}}},
      {"no items", "abc\n", single_item("", "0", "1"), {kEmpty}},
  });
}

TEST(ImportRun, ListModeTakesAtMostThreeEntriesInOrder) {
  run_cases({
      {"no entries", "1 2 3\n4 5 6\n", list_mode("", "0", {}), {kEmpty, kEmpty}},
      {"one entry", "1 2 3\n", list_mode("", "0", {"2"}), {{"2", "", ""}}},
      {"two entries", "1 2 3\n", list_mode("", "0", {"3", "1"}), {{"3", "1", ""}}},
      {"three entries", "1 2 3\n", list_mode("", "0", {"3", "1", "9"}), {{"3", "1", ""}}},
      {"later entries ignored, even invalid ones", "1 2 3 4\n5 6 7 8\n",
       list_mode("", "0", {"4", "3", "2", "1", "kein", ""}),
       {{"4", "3", "2"}, {"8", "7", "6"}}},
  });
}

TEST(ImportRun, InvalidItemNumberStopsAtFirstDataLineBeforeAnyRow) {
  struct Case {
    RunSettings settings;
    const char* message;
  };
  const Case cases[] = {
      {single_item("", "2", "x"), "'x' ist kein gültiger Integerwert"},
      {single_item("", "2", ""), "'' ist kein gültiger Integerwert"},
      {list_mode("", "2", {"1", "zwei"}), "'zwei' ist kein gültiger Integerwert"},
      {list_mode("", "2", {" "}), "' ' ist kein gültiger Integerwert"},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    RunSettings settings = c.settings;
    settings.text_file = folder.write("data.txt", "h1\nh2\n1 2 3\n4 5 6\n");
    Rows rows;
    ImportProgress progress;
    EXPECT_EQ(failure(settings, &rows, &progress), c.message);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(progress.line, 3u);
    EXPECT_TRUE(progress.in_data_line);
    EXPECT_EQ(progress.rows, 0u);
  }
}

TEST(ImportRun, InvalidHeaderCountStopsAfterOpenBeforeAnyRead) {
  TempFolder folder;
  const std::string file = folder.write("data.txt", "1 2 3\n");
  const int before = open_descriptor_count();
  EXPECT_EQ(failure(single_item(file, "1.5", "3")),
            "'1.5' ist kein gültiger Integerwert");
  EXPECT_EQ(open_descriptor_count(), before);
  // The open comes first: a missing file wins over the header count.
  EXPECT_EQ(failure(single_item(folder.file("missing.txt"), "x", "3")),
            "Die angegebene Datei wurde nicht gefunden");

  Pipe pipe;
  pipe.write("1 2 3\n");
  pipe.close_writer();
  {
    StandardInputSwap swap(pipe.reader());
    EXPECT_EQ(failure(single_item("", "eins", "3")),
              "'eins' ist kein gültiger Integerwert");
  }
  char left[16];
  EXPECT_EQ(::read(pipe.reader(), left, sizeof left), 6) << "input was read";
}

// An existing file whose path has exactly "length" characters, most of them
// two bytes long, spread over folders so that no name exceeds the system's
// limit per name.
std::string existing_file_of_length(const TempFolder& folder, std::size_t length) {
  std::string path = folder.path() + "/";
  std::size_t characters = path.size();
  while (length - characters > 61) {
    for (int i = 0; i < 60; ++i) path += "ä";
    path += "/";
    characters += 61;
  }
  std::filesystem::create_directories(path);
  for (; characters < length; ++characters) path += "ö";
  std::ofstream(path) << "1 2 3\n";
  return path;
}

TEST(ImportRun, FileNameOver259CharactersIsRefusedBeforeOpening) {
  TempFolder folder;
  const std::string name259 = existing_file_of_length(folder, 259);
  const std::string name260 = existing_file_of_length(folder, 260);
  ASSERT_GT(name259.size(), 300u);
  EXPECT_EQ(run(single_item(name259, "0", "3")), (Rows{{"1", "2", "3"}}));
  EXPECT_EQ(failure(single_item(name260, "0", "3")),
            "Ungültiger Dateiname - " + name260);
}

TEST(ImportRun, FileFailuresGiveTheirMessages) {
  TempFolder folder;
  const std::string missing_folder = folder.file("nofolder/data.txt");
  EXPECT_EQ(failure(single_item(folder.file("missing.txt"), "1", "3")),
            "Die angegebene Datei wurde nicht gefunden");
  EXPECT_EQ(failure(single_item(missing_folder, "1", "3")),
            "Ungültiger Dateiname - " + missing_folder);
  EXPECT_EQ(failure(single_item(folder.path(), "1", "3")),
            "Dateizugriff verweigert");
}

struct AppendRefused {
  int line;
};

TEST(ImportRun, AppendErrorPassesThroughAndEarlierRowsStayHanded) {
  TempFolder folder;
  const std::string file = folder.write("data.txt", "h\n1 2 3\n4 5 6\n7 8 9\n");
  const int before = open_descriptor_count();
  Rows rows;
  ImportProgress progress;
  try {
    import_run(
        single_item(file, "1", "3"),
        [&](const Row& row) {
          if (row[0] == "4") throw AppendRefused{42};
          rows.push_back({std::string(row[0]), std::string(row[1]), std::string(row[2])});
        },
        &progress);
    FAIL() << "no error";
  } catch (const AppendRefused& e) {
    EXPECT_EQ(e.line, 42);
  }
  EXPECT_EQ(rows, (Rows{{"1", "2", "3"}}));
  EXPECT_EQ(progress.line, 3u);
  EXPECT_TRUE(progress.in_data_line);
  EXPECT_EQ(progress.rows, 1u);
  EXPECT_EQ(open_descriptor_count(), before);
}

TEST(ImportRun, ProgressCountsLinesAndRowsOfAFinishedRun) {
  TempFolder folder;
  ImportProgress progress;
  progress.rows = 99;
  run(single_item(folder.write("data.txt", "h1\nh2\n1\n2\n3"), "2", "1"), &progress);
  EXPECT_EQ(progress.line, 5u);
  EXPECT_EQ(progress.rows, 3u);
  EXPECT_FALSE(progress.in_data_line);
}

TEST(ImportRun, TwoRunsHandOverTheSameRowsTwice) {
  TempFolder folder;
  const RunSettings settings =
      single_item(folder.write("data.txt", "h\n1 2 3\n4 5 6\n"), "1", "3");
  const Rows expected{{"1", "2", "3"}, {"4", "5", "6"}};
  EXPECT_EQ(run(settings), expected);
  EXPECT_EQ(run(settings), expected);
}

TEST(ImportRun, EmptyFileNameReadsStandardInput) {
  Pipe pipe;
  pipe.write("h\n1 2 3\n4 5 6");
  pipe.close_writer();
  StandardInputSwap swap(pipe.reader());
  EXPECT_EQ(run(single_item("", "1", "3")), (Rows{{"1", "2", "3"}, {"4", "5", "6"}}));
}

TEST(ImportRun, ExampleFileGivesOneRowPerDataLine) {
  const std::string example = std::string(KADRUM_SOURCE_DIR) + "/examples/co2_daily_mlo.txt";
  if (!std::filesystem::exists(example)) GTEST_SKIP() << "no example file";
  std::ifstream in(example, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(bytes.back(), '\n');
  std::uint64_t rows = 0;
  ImportProgress progress;
  import_run(single_item(example, "0", "4"), [&](const Row&) { ++rows; }, &progress);
  EXPECT_EQ(rows, static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n')));
  EXPECT_EQ(progress.line, rows);
}

}  // namespace
}  // namespace kadrum
