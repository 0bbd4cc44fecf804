// An open SQLite table: its fields and its prepared INSERTs, no rows.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine.h"
#include "db/sqlite/multirow/row_block.h"
#include "db/sqlite/session.h"

namespace kadrum::sqlite {

class SqliteTable final : public EngineTable {
 public:
  // Opens what "open_name" names on "db": reads its columns in table order and
  // whether it takes new records. Throws ProviderError with the engine's
  // description when the name is missing, unreadable or holds a second
  // statement. "transactions" is the engine's.
  SqliteTable(DatabaseHandle db, std::string_view open_name,
              std::shared_ptr<Transactions> transactions);

  const std::vector<EngineField>& fields() const override { return fields_; }
  bool accepts_new_records() const override { return accepts_new_records_; }
  bool temporary() const override { return schema_ == "temp"; }

 protected:
  void prepare(std::span<const std::size_t> positions) override;
  // In autocommit mode, and in a short transaction, one INSERT, committed
  // when it returns outside a transaction. In a long one the records wait
  // until a statement's worth is there (see RowBlock::send); a record
  // SQLite refuses then fails the store that sends it, send_held_records,
  // another statement of the engine or the commit, named by its tag.
  void store(std::span<const Value> values, std::uint64_t tag) override;
  void send_held_records() override;

 private:
  void read_columns(sqlite3_stmt* select);
  void read_table_details();
  void mark_rowid_alias();
  // Whether an INSERT of many rows does what as many INSERTs of one do,
  // also when SQLite refuses one of them.
  bool takes_many_rows_at_once();

  DatabaseHandle db_;
  std::vector<EngineField> fields_;
  // The one table or view the name resolves to; empty schema when the name
  // reads more than one object.
  std::string schema_;
  std::string object_;
  std::string type_;  // "table", "view", "virtual" or "shadow"
  bool without_rowid_ = false;
  bool accepts_new_records_ = false;
  bool many_rows_at_once_ = false;
  std::shared_ptr<Transactions> transactions_;
  // Prepared once and reused for every record with the same positions;
  // shared with transactions_ while its records wait.
  std::shared_ptr<RowBlock> block_;
};

// How a table name typed by the user is written in a statement: brackets go
// around its part after the first "." (or the whole name) when it holds a
// blank and does not begin with "[": "my data" gives "[my data]", "a.b c"
// gives "a.[b c]", "x y;z" gives "[x y];z". Any other name comes back
// unchanged. Never throws.
std::string open_form(std::string_view name);

}  // namespace kadrum::sqlite
