#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <thread>

#include "actions/db_connect.h"
#include "actions/row_append.h"
#include "import/import_run.h"
#include "support/sqlite_inspector.h"

namespace kadrum {
namespace {

using testing::Inspector;

// Counts, across fork, the appends that have returned.
class SharedCounter {
 public:
  SharedCounter() {
    void* memory = mmap(nullptr, sizeof(std::atomic<std::uint64_t>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::runtime_error("mmap failed");
    count_ = new (memory) std::atomic<std::uint64_t>(0);
  }
  SharedCounter(const SharedCounter&) = delete;
  SharedCounter& operator=(const SharedCounter&) = delete;
  ~SharedCounter() { munmap(count_, sizeof *count_); }
  std::atomic<std::uint64_t>& operator*() { return *count_; }

 private:
  std::atomic<std::uint64_t>* count_;
};

// The child's whole life: connect, import, never return.
[[noreturn]] void import_until_killed(RunSettings settings, std::atomic<std::uint64_t>& returned) {
  try {
    DatabaseObjects db;
    db_connect(settings, db);
    const LocaleFormats formats;
    import_run(settings, [&](const Row& row) {
      append_row(db.itab, row, formats);
      returned.fetch_add(1);
    });
  } catch (...) {
    _exit(2);
  }
  _exit(0);
}

std::uint64_t rows_in(Inspector& db) {
  try {
    return std::stoull(db.value("SELECT count(*) FROM T"));
  } catch (const std::runtime_error&) {
    return 0;  // the table is not there yet
  }
}

TEST(KilledImport, LosesNothingThatWasCommittedAndNeverDamagesTheFile) {
  testing::TempFolder folder;
  const std::string data = folder.file("data.txt");
  const std::uint64_t lines = 1000000;
  {
    std::ofstream out(data);
    for (std::uint64_t i = 1; i <= lines; ++i) out << i << ' ' << i << " 7\n";
  }
  const std::string path = folder.file("fresh.db");
  testing::write_file(path, "");

  RunSettings settings;
  settings.database_path = path;
  settings.table_name = "T";
  settings.recreate = true;
  settings.list_mode = true;
  settings.item_list = {"1", "2", "3"};
  settings.header_lines = "0";
  settings.text_file = data;

  SharedCounter returned;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) import_until_killed(settings, *returned);

  {
    Inspector watcher(path);
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (rows_in(watcher) < 2000 && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the import ended before it was killed";
  const std::uint64_t done = (*returned).load();

  Inspector after(path);
  EXPECT_EQ(after.value("PRAGMA integrity_check"), "ok");
  const auto summary = after.rows(
      "SELECT count(*), count(DISTINCT W1), min(W1), max(W1), sum(W1 <> W2 OR W3 <> 7) FROM T")[0];
  const std::uint64_t present = std::stoull(summary[0]);
  EXPECT_GE(present, done);
  EXPECT_LE(present, done + 1);
  EXPECT_GE(present, 2000u);
  // A gap-free prefix of the file: 1, 2, ..., present, each once.
  EXPECT_EQ(summary[1], summary[0]);
  EXPECT_EQ(summary[2], "1.0");
  EXPECT_EQ(summary[3], std::to_string(present) + ".0");
  EXPECT_EQ(summary[4], "0");
}

}  // namespace
}  // namespace kadrum
