// An open ODBC table: its fields and one prepared INSERT, no rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine.h"
#include "db/odbc/session.h"

namespace kadrum::odbc {

// The records of one prepared INSERT that go to the driver in one call:
// column by column, as ODBC's parameter arrays take them. Outside a
// transaction a block holds one record and is sent at once.
class Block {
 public:
  Block(std::shared_ptr<Session> session, StatementHandle statement,
        std::vector<FieldKind> kinds);
  std::size_t size() const { return rows_; }
  // Adds a record, named by "tag" in an error; values beyond the columns
  // are ignored, missing ones NULL.
  void add(std::span<const Value> values, std::uint64_t tag);
  // Sends the records and empties the block. Throws ProviderError for the
  // first record the database refuses, with that record's tag as its
  // record() and, when the block held several, its number among the
  // records sent in the message; the block's other records are then undone
  // where the database has savepoints (without them, which of several
  // records was refused is not known unless the driver marks it in its
  // status array). A record the driver marks there as refused or left out
  // fails the send also when the driver reports a success.
  void send();
  void clear() { rows_ = 0; }

 private:
  struct Column {
    FieldKind kind = FieldKind::unicode_text;
    // Text for every kind without a C type of its own: the driver converts.
    SQLSMALLINT c_type = SQL_C_WCHAR;
    SQLSMALLINT sql_type = SQL_WVARCHAR;
    std::vector<double> numbers;
    std::vector<SQLINTEGER> integers;
    std::vector<unsigned char> bits;
    std::vector<WideString> texts;  // text kinds, by row
    std::vector<SQLWCHAR> text_buffer;  // the texts laid out for sending
    std::size_t stride = 1;             // characters per text in it
    std::vector<SQLLEN> indicators;
  };
  // Lays out the texts of the first "rows" records in one width.
  void lay_out(std::size_t rows);
  // Binds and executes "rows" records from record "first" on; a stop
  // request cancels the execution.
  SQLRETURN execute(std::size_t first, std::size_t rows);
  // The first of the "rows" records last executed that the driver marks
  // as not stored (refused, or left out after a refusal), or "rows".
  std::size_t first_unstored(std::size_t rows) const;
  // "error" as the refusal of record "r" of the "rows" sent, the first of
  // which is record "first" of the transaction: with the record's tag and,
  // among several, its number.
  ProviderError refusal(const ProviderError& error, std::size_t r, std::size_t rows,
                        std::uint64_t first) const;

  // Written by the driver for parameter arrays where it reports per record.
  static constexpr SQLUSMALLINT unreported = 0xffff;

  std::shared_ptr<Session> session_;
  StatementHandle statement_;
  std::vector<Column> columns_;
  std::vector<std::uint64_t> tags_;  // by row
  std::vector<SQLUSMALLINT> statuses_;  // by row, of the last execution
  SQLULEN processed_ = 0;               // records the last execution processed
  std::size_t rows_ = 0;
  std::uint64_t sent_ = 0;  // records sent before, for the message
};

class OdbcTable final : public EngineTable {
 public:
  // Opens what "open_name" names: the driver prepares "SELECT * FROM
  // open_name" and describes its columns without reading a row; the catalog
  // says whether it is a view. Throws ProviderError with the driver's
  // description when the name is missing or unreadable, and refuses a name
  // that holds a second statement before anything runs.
  OdbcTable(std::shared_ptr<Session> session, std::string open_name);
  ~OdbcTable() override;

  const std::vector<EngineField>& fields() const override { return fields_; }
  bool accepts_new_records() const override { return accepts_new_records_; }

 protected:
  void prepare(std::span<const std::size_t> positions) override;
  // Outside a transaction one execution, committed when it returns. Inside
  // one the records wait in a block of a few thousand, sent in one call
  // where the driver takes parameter arrays; a record the database refuses
  // then fails the call that sends it, send_held_records or the commit,
  // named by its tag.
  void store(std::span<const Value> values, std::uint64_t tag) override;
  void send_held_records() override;
  void store_one_by_one(bool on) override { one_by_one_ = on; }

 private:
  void read_columns(SQLHANDLE select);

  std::shared_ptr<Session> session_;
  std::string open_name_;
  std::vector<EngineField> fields_;
  bool accepts_new_records_ = false;
  std::shared_ptr<Block> block_;
  bool one_by_one_ = false;
};

}  // namespace kadrum::odbc
