// The records of an open SQLite table on their way into the database: one
// INSERT each, or, inside a long transaction, held until a statement's
// worth is there and sent many rows to one INSERT, which costs SQLite less
// than half as much per record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "convert/field_kind.h"
#include "convert/value.h"
#include "db/sqlite/session.h"

namespace kadrum::sqlite {

// Binds "value", for a column of "kind", to parameter "index" (1-based) of
// "stmt". Throws ProviderError with the engine's description.
void bind_value(sqlite3_stmt* stmt, int index, const Value& value, FieldKind kind);

class RowBlock {
 public:
  // "one_row" inserts one record with a parameter for each of "kinds";
  // "many_rows", when not empty, inserts "rows" such records at once.
  RowBlock(DatabaseHandle db, Statement one_row, Statement many_rows, std::size_t rows,
           std::vector<FieldKind> kinds);

  // Whether records may wait here: there is an INSERT of several.
  bool holds() const { return static_cast<bool>(many_rows_); }
  std::size_t size() const { return held_; }
  bool full() const { return held_ >= rows_; }

  // Stores "values" now through the INSERT of one record; values beyond
  // the columns are ignored, missing ones NULL. Throws ProviderError;
  // nothing of the record is stored then.
  void store_one(std::span<const Value> values);
  // Keeps a copy of "values", named by "tag", for the next send; only
  // while not full.
  void add(std::span<const Value> values, std::uint64_t tag);
  // Stores the records held, in order: a full statement's worth through
  // the INSERT of several, the rest one by one. Throws ProviderError for
  // the first record SQLite refuses, with that record's tag as record():
  // the records before it are stored, it is not, and those after it stay
  // held for the next send, so that a caller that passes over the refused
  // record loses none of the others. A stop request, and a failure that
  // ended the whole transaction, are thrown as they came, and nothing
  // stays held.
  void send();
  // Forgets the records held. Never throws.
  void clear() noexcept { held_ = 0; }

 private:
  // Binds held record "row" to "statement" from parameter "first" (0-based).
  void bind_held(Statement& statement, std::size_t first, std::size_t row);
  // Stores held records "first" to "first + count - 1" one by one; see send.
  void store_each(std::size_t first, std::size_t count);
  // Makes held record "first" the first one, dropping those before it.
  void keep_from(std::size_t first);

  DatabaseHandle db_;
  Statement one_row_;
  Statement many_rows_;
  std::size_t rows_;
  std::vector<FieldKind> kinds_;
  std::vector<Value> values_;        // rows_ records of kinds_.size() values
  std::vector<std::uint64_t> tags_;  // by record
  std::size_t held_ = 0;
};

// What the engine and its open tables share about the transaction on their
// connection: whether it is a long one, in which records may wait to go
// many to a statement, and the records that wait, which every other
// statement of the engine and its commit send first.
class Transactions {
 public:
  bool long_one() const { return long_one_; }
  void set_long_one(bool long_one) { long_one_ = long_one; }
  // "block" holds records now; the records of another block that still
  // wait are sent first. Throws as send_waiting.
  void set_waiting(const std::shared_ptr<RowBlock>& block);
  // Sends the waiting records. Throws ProviderError as RowBlock::send.
  void send_waiting();
  // Forgets the waiting records. Never throws.
  void drop_waiting() noexcept;

 private:
  bool long_one_ = false;
  std::shared_ptr<RowBlock> waiting_;
};

}  // namespace kadrum::sqlite
