// An open PostgreSQL table: its fields and one prepared INSERT, no rows.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine.h"
#include "db/postgresql/session.h"

namespace kadrum::postgresql {

class PostgresTable final : public EngineTable {
 public:
  // Opens what "open_name" names on "conn": the server resolves it as in
  // "SELECT * FROM open_name" (folding, search path), describes the columns
  // without reading a row, and its catalog tells the identity, serial and
  // generated columns and whether it takes new records. Throws ProviderError
  // with the server's description when the name is missing or unreadable,
  // and refuses a name that holds a second statement before anything runs.
  PostgresTable(std::shared_ptr<Session> session, std::string_view open_name);

  const std::vector<EngineField>& fields() const override { return fields_; }
  bool accepts_new_records() const override { return accepts_new_records_; }
  bool temporary() const override { return temporary_; }

 protected:
  void prepare(std::span<const std::size_t> positions) override;
  // Outside a transaction one prepared INSERT, committed when it returns.
  // Inside one the records go into a COPY, which the next command or the
  // commit ends; a record the server refuses then fails that call. Inside a
  // short transaction (Session::begin_short) the INSERT is held back and
  // goes with the commit.
  void store(std::span<const Value> values, std::uint64_t tag) override;
  // Inside a transaction each record by its own INSERT, not in the COPY.
  void store_one_by_one(bool on) override { one_by_one_ = on; }

 private:
  struct Column {
    std::string name;       // in the catalog, for the INSERT
    unsigned type_oid = 0;  // as the result describes it
    unsigned table_oid = 0;
    int number = 0;         // attnum
  };

  void read_columns(const pg_result* description);
  void read_catalog();
  void write_texts(std::span<const Value> values);
  void copy_text_row();
  // False, sending nothing, when a value does not fit its column's format.
  bool copy_binary_row(std::span<const Value> values);
  void insert_row();

  std::shared_ptr<Session> session_;
  std::vector<EngineField> fields_;
  std::vector<Column> columns_;
  std::string qualified_name_;  // "schema"."table", empty when not one table
  bool accepts_new_records_ = false;
  bool temporary_ = false;
  // The statements for the positions of the last record; the INSERT is
  // prepared once, when it is first needed, and reused.
  std::vector<std::size_t> positions_;
  std::string insert_sql_;
  std::vector<unsigned> parameter_types_;
  std::string insert_name_;
  std::string copy_sql_;  // empty when a COPY cannot take these columns
  bool one_by_one_ = false;
  std::vector<int> binary_sizes_;  // per position; empty for a text COPY
  // The texts of the record, NULL as a null pointer; kept so that each
  // record reuses their room.
  std::vector<std::string> texts_;
  std::vector<const char*> parameters_;
  std::string row_;
};

// How a table name typed by the user is written in a statement: a name with
// a blank that is not quoted already becomes a quoted identifier, its part
// after the first "." alone when it has one, up to the first ";": "my data"
// gives "\"my data\"", "a.b c" gives "a.\"b c\"", "x y;z" gives "\"x y\";z".
// Any other name comes back unchanged, so PostgreSQL folds it to lower case
// as it does in the create statement. Never throws.
std::string open_form(std::string_view name);

}  // namespace kadrum::postgresql
