// The checkpoints of kadrum-cli's --resume: how far each text file has been
// stored into each table, kept in the target database itself, in the table
// kadrum_checkpoints, so that a checkpoint commits together with the records
// it covers. The statements are plain SQL (varchar, bigint, select, update,
// insert, delete), so that every engine runs them alike through the Query
// object: the update, which runs with every record, is prepared once and
// takes its values as parameters; the others, run once per file, carry them
// as literals.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "db/query.h"

namespace kadrum {

// The name of the checkpoint table; one row per target table and text file.
inline constexpr const char* kCheckpointTable = "kadrum_checkpoints";

struct Checkpoint {
  std::string fingerprint;              // 16 hex digits, see file_fingerprint
  std::uint64_t fingerprint_bytes = 0;  // the file's first bytes it covers
  std::uint64_t byte_offset = 0;        // just after the last stored data line
  std::uint64_t line_number = 0;        // the number of that line
  std::uint64_t records = 0;            // records stored from the file
};

// The fingerprint of the first "length" bytes of the open file "fd": a
// 64-bit FNV-1a hash, as 16 hex digits, of the length and of the first and
// the last 64 KiB of those bytes (all of them when there are fewer), so that
// resuming stays fast on very large files. Throws kadrum::Error when the
// file holds fewer bytes or cannot be read.
std::string file_fingerprint(int fd, std::uint64_t length);

// The checkpoint row of one target table and one text file.
class CheckpointRow {
 public:
  // "table" as typed by the user; "path" absolute. Runs nothing yet.
  CheckpointRow(Query& qry, std::string table, std::string path);

  // The row, if there is one. Creates the checkpoint table when it is not
  // there yet. Throws ProviderError.
  std::optional<Checkpoint> load();
  // Writes the row: updates it, or inserts it when there was none. Belongs
  // in the transaction of the records it covers. Throws ProviderError.
  void save(const Checkpoint& checkpoint);
  // Deletes every checkpoint of the target table (the table is recreated).
  // Throws ProviderError.
  void clear_table();

 private:
  Query& qry_;
  std::string table_;
  std::string path_;
  bool exists_ = false;
  std::unique_ptr<EngineStatement> update_;  // prepared on first use
  std::time_t saved_second_ = -1;            // the second saved_at_ shows
  std::string saved_at_;
};

}  // namespace kadrum
