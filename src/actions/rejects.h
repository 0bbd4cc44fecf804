// kadrum-cli's --rejects: a data line that cannot become a record is kept
// aside in the table kadrum_rejects of the target database, with its
// number, its place in the file, its text and the reason, and the run goes
// on. Like the checkpoints (actions/checkpoint.h) the table is plain SQL in
// portable types, every value a parameter, so that every engine keeps it
// alike and a reject commits with what surrounds it.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "actions/db_connect.h"
#include "db/query.h"
#include "import/line_rejects.h"

namespace kadrum {

struct StoringRejects;
class StoringThreadSink;

// The name of the rejects table; one row per rejected line.
inline constexpr const char* kRejectsTable = "kadrum_rejects";

// The most bytes line_text and reason keep.
inline constexpr std::size_t kRejectTextBytes = 4000;

// True when "error" belongs to one data line alone: a value the conversion
// refuses, a line over the length limit, a row the database refuses
// (NOT NULL, CHECK, UNIQUE, a foreign key, a value of the wrong type or out
// of range, a value it would cut, a trigger that raises). False for what is
// no line's fault: a lost connection, a full disk, a server-side stop, a
// deadlock, a time-out, a serialization failure, a stop request, and every
// failure of the file or the table.
bool is_line_fault(const std::exception& error);

// "text" as kadrum_rejects keeps it: every byte that is not UTF-8 (and
// NUL, which not every engine can keep) as U+FFFD, at most
// kRejectTextBytes bytes; a longer text, or one that was "cut" before,
// ends with " […]" within them.
std::string reject_text(std::string_view text, bool cut = false);

// The rows of kadrum_rejects for one target table.
class RejectTable {
 public:
  // "table" keyed as Engine::table_key says. Creates the table when it is
  // not there yet (also while another run creates it). Throws
  // ProviderError.
  RejectTable(Query& qry, std::string table);
  // Writes one row for "line" of "source" (a path, "-" for standard input)
  // with "reason"; committed at once unless the caller holds a
  // transaction. Throws ProviderError.
  void save(const std::string& source, const RejectedLine& line, std::string_view reason);

 private:
  Query& qry_;
  std::string table_;
  std::unique_ptr<EngineStatement> insert_;
};

// The rejects of one run, counted over all its files.
class Rejects final : public LineRejects {
 public:
  // Writes the reject of "line" with "reason"; throws what the writing throws.
  using Keep = std::function<void(const RejectedLine& line, const std::string& reason)>;
  // Told of each reject once it is kept, with the run's count so far.
  using Kept = std::function<void(const RejectedLine& line, const std::string& reason,
                                  std::uint64_t count)>;

  // Accepts at most "max_errors" rejects when given.
  explicit Rejects(std::optional<std::uint64_t> max_errors, Kept kept = {});
  // How the rejects are written from now on (the run's sink decides).
  void keep_with(Keep keep) { keep_ = std::move(keep); }

  // Keeps "line" when is_line_fault("error") and fewer than max_errors
  // rejects were kept; the reason is the message as shown, without a
  // place in front. Throws what the Keep throws. May be called on the
  // thread that reads and on the one that stores at once; the Keep and
  // the Kept run on the calling thread, outside any lock.
  bool reject(const RejectedLine& line, const std::exception& error) override;

  std::uint64_t count() const {
    const std::lock_guard lock(mutex_);
    return count_;
  }

 private:
  std::optional<std::uint64_t> max_errors_;
  Kept kept_;
  Keep keep_;
  mutable std::mutex mutex_;
  std::uint64_t count_ = 0;
};

// How a run in one transaction keeps its rejects: the records are stored
// on a second thread, which writes the rejects among them.
class TransactionRejects {
 public:
  virtual ~TransactionRejects() = default;
  // What the reading side offers its bad lines to.
  virtual LineRejects& lines() = 0;
  // With "db" connected, inside the transaction, its table open, before
  // the records of the text file "name" (empty: standard input): makes
  // kadrum_rejects ready and returns what the storing side needs. Throws
  // ProviderError.
  virtual const StoringRejects* begin_file(DatabaseObjects& db, const std::string& name) = 0;
  // The sink the reading side's rejects are queued into from now on; null
  // once it is gone.
  virtual void queue_into(StoringThreadSink* sink) = 0;
};

}  // namespace kadrum
