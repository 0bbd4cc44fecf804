// An open PostgreSQL table: its fields and one prepared INSERT, no rows.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/engine.h"
#include "db/postgresql/statement.h"

namespace kadrum::postgresql {

class PostgresTable final : public EngineTable {
 public:
  // Opens what "open_name" names on "conn": the server resolves it as in
  // "SELECT * FROM open_name" (folding, search path), describes the columns
  // without reading a row, and its catalog tells the identity, serial and
  // generated columns and whether it takes new records. Throws ProviderError
  // with the server's description when the name is missing or unreadable,
  // and refuses a name that holds a second statement before anything runs.
  PostgresTable(ConnectionHandle conn, std::string_view open_name);

  const std::vector<EngineField>& fields() const override { return fields_; }
  bool accepts_new_records() const override { return accepts_new_records_; }
  // One prepared INSERT; outside a transaction it commits when it returns.
  void insert(std::span<const std::size_t> positions,
              std::span<const Value> values) override;

 private:
  struct Column {
    std::string name;       // in the catalog, for the INSERT
    unsigned type_oid = 0;  // as the result describes it
    unsigned table_oid = 0;
    int number = 0;         // attnum
  };

  void read_columns(const pg_result* description);
  void read_catalog();
  void prepare_insert(std::span<const std::size_t> positions);
  void write_parameter(std::size_t index, const Value& value, FieldKind kind);

  ConnectionHandle conn_;
  std::vector<EngineField> fields_;
  std::vector<Column> columns_;
  std::string qualified_name_;  // "schema"."table", empty when not one table
  bool accepts_new_records_ = false;
  // Prepared once and reused for every record with the same positions.
  std::string insert_name_;
  std::vector<std::size_t> insert_positions_;
  // The parameter texts, kept so that each record reuses their room.
  std::vector<std::string> texts_;
  std::vector<const char*> parameters_;
};

}  // namespace kadrum::postgresql
