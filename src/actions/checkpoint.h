// The checkpoints of kadrum-cli's --resume: how far each text file has been
// stored into each table, kept in the target database itself, in the table
// kadrum_checkpoints, so that a checkpoint commits together with the records
// it covers. The statements are plain SQL (varchar, bigint, select, update,
// insert, delete), so that every engine runs them alike through the Query
// object, and every value goes as a parameter: a path or a table name is
// never part of a statement's text, whatever quotes or backslashes it holds.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
  // 16 hex digits: the hash of the line that ends at byte_offset (see
  // line_hash); empty in a checkpoint written before it was kept.
  std::string line_hash;
};

// The fingerprint of the first "length" bytes of the open file "fd": a
// 64-bit FNV-1a hash, as 16 hex digits, of the length and of the first and
// the last 64 KiB of those bytes (all of them when there are fewer), so that
// resuming stays fast on very large files. Throws kadrum::Error when the
// file holds fewer bytes or cannot be read.
std::string file_fingerprint(int fd, std::uint64_t length);

// The hash, as 16 hex digits, of the bytes of the open file "fd" from
// "start" (where a line starts) to "end" (just after its line end), at most
// the last 4 KiB of them. Throws kadrum::Error when they cannot be read.
std::string line_hash(int fd, std::uint64_t start, std::uint64_t end);

// True when a line of the open file "fd" ends just before "offset" (a LF,
// or a byte 26) and, unless "hash" is empty, that line has the line_hash
// "hash": the file still holds the line a checkpoint was written after.
// Never throws.
bool line_ends_at(int fd, std::uint64_t offset, const std::string& hash) noexcept;

// Adds the indexes that find a checkpoint by its path and by its file's
// identity at once among thousands, where the engine allows them and they
// are not there yet: on PostgreSQL a hash index for the path, which has no
// length limit. Run it outside a transaction, since the engine refuses
// statements where an index is there or cannot be. Never throws.
void add_checkpoint_indexes(Query& qry) noexcept;

// The checkpoint row of one target table and one text file.
class CheckpointRow {
 public:
  // "table" keyed as Engine::table_key says, "typed" as the user wrote it;
  // "path" as final_path gives it, "given_path" as absolute_path gives the
  // name the file was given by (both keys of checkpoints written before);
  // "device" and "inode" the file's identity (0 when unknown). Throws
  // kadrum::Error when "path" or "table" is longer than the checkpoint
  // table keeps. Runs nothing yet.
  CheckpointRow(Query& qry, std::string table, std::string typed, std::string path,
                std::string given_path = {}, std::uint64_t device = 0, std::uint64_t inode = 0);

  // The row, if there is one; one kept under the typed name or the given
  // path is moved to the keys first. Without one, that of a file with the
  // same identity under another path (renamed, or a new file on a reused
  // inode): renamed_from() then names that path, and the caller decides
  // with adopt_renamed. Creates the checkpoint table when it is not there
  // yet (also while another run creates it), and adds the columns it
  // lacks to one made before. Throws ProviderError.
  std::optional<Checkpoint> load();
  const std::string& renamed_from() const { return renamed_from_; }
  // Moves the checkpoint load found under renamed_from() to this path: the
  // file matched it. Throws ProviderError.
  void adopt_renamed();
  // The path of another file of this table whose checkpoint covers its
  // whole content of "bytes" bytes with "fingerprint" (that of this file at
  // its size), under another identity: this file looks like a copy of it.
  // Empty when there is none. Call after load. Throws ProviderError.
  std::string copy_of(const std::string& fingerprint, std::uint64_t bytes);
  // The identity saved from now on: another file took the path.
  void set_identity(std::uint64_t device, std::uint64_t inode) {
    device_ = static_cast<std::int64_t>(device);
    inode_ = static_cast<std::int64_t>(inode);
  }
  // Writes the row: updates it, or inserts it when there was none. The
  // update changes the row only where it still holds the offset loaded or
  // last saved; where another run moved or deleted it, it throws
  // ProviderError and nothing must be committed. Belongs in the
  // transaction of the records it covers. Throws ProviderError.
  void save(const Checkpoint& checkpoint);
  // What the row knows of the database, taken before a transaction that
  // saves it, and given back when that transaction is rolled back: a save
  // whose failure surfaced only at the commit must not count.
  struct Known {
    bool exists = false;
    std::uint64_t offset = 0;
  };
  Known known() const { return {exists_, saved_offset_}; }
  void restore(const Known& known) {
    exists_ = known.exists;
    saved_offset_ = known.offset;
  }
  // Deletes every checkpoint of the target table (the table is recreated),
  // under its key and under its typed name.
  // Throws ProviderError.
  void clear_table();

 private:
  std::vector<std::vector<std::string>> select(const std::string& table, const std::string& path);
  void make_ready();
  // Moves the row of "table" and "path" to this row's keys.
  void move(const std::string& table, const std::string& path);
  std::unique_ptr<EngineStatement> prepared(const std::string& sql,
                                            const std::string& one_row_failure = {});

  Query& qry_;
  std::string table_;
  std::string typed_;
  std::string path_;
  std::string given_path_;
  std::int64_t device_;
  std::int64_t inode_;
  std::string renamed_from_;
  bool exists_ = false;
  std::uint64_t saved_offset_ = 0;           // the row's byte_offset, as last read or written
  std::unique_ptr<EngineStatement> update_;  // prepared on first use
  std::time_t saved_second_ = -1;            // the second saved_at_ shows
  std::string saved_at_;
};

}  // namespace kadrum
