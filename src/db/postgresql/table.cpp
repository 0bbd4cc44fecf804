#include "db/postgresql/table.h"

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <utility>

#include "base/provider_error.h"
#include "db/postgresql/column_kinds.h"

namespace kadrum::postgresql {

namespace {

// One row per column of the relation (one row with NULL columns when it has
// none): what the catalog says beyond the column types.
constexpr const char* catalog_query = R"(
SELECT n.nspname, c.relname,
       (pg_relation_is_updatable(c.oid, true) & 8) = 8
         AND NOT current_setting('transaction_read_only')::boolean,
       a.attnum, a.attname,
       a.attidentity <> '' OR coalesce(pg_get_expr(d.adbin, d.adrelid) LIKE 'nextval(%', false),
       a.attgenerated <> '' OR NOT coalesce(pg_column_is_updatable(c.oid, a.attnum, true), false)
FROM pg_class c
JOIN pg_namespace n ON n.oid = c.relnamespace
LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
LEFT JOIN pg_attrdef d ON d.adrelid = c.oid AND d.adnum = a.attnum
WHERE c.oid = $1::oid)";

bool yes(const pg_result* result, int row, int column) {
  return PQgetvalue(result, row, column)[0] == 't';
}

// Each prepared INSERT gets a name of its own on the connection.
std::string next_statement_name() {
  static std::atomic<unsigned long> count{0};
  return "kadrum_insert_" + std::to_string(++count);
}

}  // namespace

PostgresTable::PostgresTable(ConnectionHandle conn, std::string_view open_name)
    : conn_(std::move(conn)) {
  const std::string select = "SELECT * FROM " + std::string(open_name);
  check_single_statement(select);
  guarded(conn_.get(), [&] {
    // Parsing resolves the name and yields the columns; no row is read.
    checked(conn_.get(), PQprepare(conn_.get(), "", select.c_str(), 0, nullptr));
    const Result description = checked(conn_.get(), PQdescribePrepared(conn_.get(), ""));
    read_columns(description.get());
    read_catalog();
  });
}

void PostgresTable::read_columns(const pg_result* description) {
  const int count = PQnfields(description);
  fields_.reserve(static_cast<std::size_t>(count));
  columns_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const ColumnKind kind = column_kind(PQftype(description, i), PQfmod(description, i));
    fields_.push_back({PQfname(description, i), kind.kind, kind.declared_size, true});
    columns_.push_back({PQfname(description, i), PQftype(description, i),
                        PQftable(description, i), PQftablecol(description, i)});
  }
}

void PostgresTable::read_catalog() {
  // Records go to one table or view: the one every column comes from.
  if (columns_.empty()) return;
  const unsigned table_oid = columns_.front().table_oid;
  if (table_oid == 0 || std::any_of(columns_.begin(), columns_.end(), [&](const Column& c) {
        return c.table_oid != table_oid;
      }))
    return;

  const std::string oid_text = std::to_string(table_oid);
  const char* const values[] = {oid_text.c_str()};
  const Result catalog = run(conn_.get(), catalog_query, values);
  const pg_result* rows = catalog.get();
  if (PQntuples(rows) == 0) return;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    int row = 0;
    while (row < PQntuples(rows) &&
           std::atoi(PQgetvalue(rows, row, 3)) != columns_[i].number)
      ++row;
    if (row == PQntuples(rows)) return;  // not a column of the relation
    columns_[i].name = PQgetvalue(rows, row, 4);
    EngineField& field = fields_[i];
    if (yes(rows, row, 5)) {
      field.kind = FieldKind::autoincrement;
      field.declared_size = 0;
      field.updatable = false;
    }
    if (yes(rows, row, 6)) field.updatable = false;
  }
  qualified_name_ = quote_identifier(PQgetvalue(rows, 0, 0)) + "." +
                    quote_identifier(PQgetvalue(rows, 0, 1));
  accepts_new_records_ = yes(rows, 0, 2);
}

void PostgresTable::prepare_insert(std::span<const std::size_t> positions) {
  std::string sql = "INSERT INTO " + qualified_name_;
  std::vector<unsigned> types;
  if (positions.empty()) {
    sql += " DEFAULT VALUES";
  } else {
    std::string names, markers;
    for (const std::size_t position : positions) {
      if (!names.empty()) {
        names += ',';
        markers += ',';
      }
      names += quote_identifier(columns_.at(position).name);
      markers += '$';
      markers += std::to_string(types.size() + 1);
      types.push_back(parameter_type(columns_[position].type_oid));
    }
    sql += " (" + names + ") VALUES (" + markers + ")";
  }
  std::string name = next_statement_name();
  checked(conn_.get(), PQprepare(conn_.get(), name.c_str(), sql.c_str(),
                                 static_cast<int>(types.size()), types.data()));
  insert_name_ = std::move(name);
  insert_positions_.assign(positions.begin(), positions.end());
}

namespace {

template <class Number>
void write_number(std::string& text, Number number) {
  char buffer[32];
  // The shortest text that reads back as the same number.
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  text.assign(buffer, result.ptr);
}

}  // namespace

void PostgresTable::write_parameter(std::size_t index, const Value& value, FieldKind kind) {
  std::string& text = texts_[index];
  char buffer[64];
  if (const auto* number = std::get_if<double>(&value)) {
    write_number(text, *number);
  } else if (const auto* whole = std::get_if<std::int32_t>(&value)) {
    write_number(text, *whole);
  } else if (const auto* amount = std::get_if<Currency>(&value)) {
    const bool negative = amount->scaled < 0;
    const auto magnitude = negative ? 0 - static_cast<std::uint64_t>(amount->scaled)
                                    : static_cast<std::uint64_t>(amount->scaled);
    std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    text = buffer;
  } else if (const auto* yes = std::get_if<bool>(&value)) {
    text.assign(1, *yes ? 't' : 'f');
  } else if (const auto* words = std::get_if<std::string>(&value)) {
    text = *words;
  } else if (const auto* moment = std::get_if<DateTime>(&value)) {
    // ISO forms, which the server reads whatever its DateStyle.
    const DateTime& t = *moment;
    if (kind == FieldKind::date)
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.year, t.month, t.day);
    else if (kind == FieldKind::time)
      std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    else
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", t.year,
                    t.month, t.day, t.hour, t.minute, t.second);
    text = buffer;
  } else {
    parameters_[index] = nullptr;  // NULL
    return;
  }
  parameters_[index] = text.c_str();
}

void PostgresTable::insert(std::span<const std::size_t> positions,
                           std::span<const Value> values) {
  if (!accepts_new_records_)
    throw ProviderError("Die Datenmenge nimmt keine neuen Datensätze auf");
  guarded(conn_.get(), [&] {
    if (insert_name_.empty() || !std::equal(positions.begin(), positions.end(),
                                            insert_positions_.begin(),
                                            insert_positions_.end()))
      prepare_insert(positions);
    const std::size_t count = positions.size();
    // Sized first: a text's c_str stays put only while the vector does.
    texts_.resize(count);
    parameters_.resize(count);
    for (std::size_t i = 0; i < count; ++i)
      write_parameter(i, i < values.size() ? values[i] : Value{}, fields_[positions[i]].kind);
    // Autocommit: the record is committed when the server answers.
    checked(conn_.get(), PQexecPrepared(conn_.get(), insert_name_.c_str(),
                                        static_cast<int>(count), parameters_.data(),
                                        nullptr, nullptr, 0));
  });
}

}  // namespace kadrum::postgresql
