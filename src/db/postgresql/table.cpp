#include "db/postgresql/table.h"

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cstdio>
#include <utility>

#include "db/identifier.h"
#include "db/postgresql/column_kinds.h"
#include "db/sql_text.h"

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
       a.attgenerated <> '' OR NOT coalesce(pg_column_is_updatable(c.oid, a.attnum, true), false),
       c.relpersistence = 't'
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

PostgresTable::PostgresTable(std::shared_ptr<Session> session, std::string_view open_name)
    : session_(std::move(session)) {
  const std::string select = "SELECT * FROM " + std::string(open_name);
  check_single_statement(select, postgresql_sql);
  pg_conn* conn = session_->command();
  guarded(conn, [&] {
    // Parsing resolves the name and yields the columns; no row is read.
    checked(conn, PQprepare(conn, "", select.c_str(), 0, nullptr));
    const Result description = checked(conn, PQdescribePrepared(conn, ""));
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
  const Result catalog = run(session_->command(), catalog_query, values);
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
  temporary_ = yes(rows, 0, 7);
}

void PostgresTable::prepare(std::span<const std::size_t> positions) {
  positions_.assign(positions.begin(), positions.end());
  parameter_types_.clear();
  insert_name_.clear();
  copy_sql_.clear();
  std::vector<std::string> catalog_names;
  for (const std::size_t position : positions) {
    catalog_names.push_back(columns_.at(position).name);
    parameter_types_.push_back(parameter_type(columns_[position].type_oid));
  }
  const std::string names = column_list(catalog_names);
  insert_sql_ = insert_statement(qualified_name_, names, positions.size(), [](std::size_t i) {
    std::string marker(1, '$');
    marker += std::to_string(i + 1);
    return marker;
  });
  if (positions.empty()) return;
  // A COPY reads every value with its column's own input, which for money
  // follows the server's monetary locale: such columns keep the INSERT.
  binary_sizes_.clear();
  if (!std::all_of(parameter_types_.begin(), parameter_types_.end(),
                   [](unsigned type) { return type == 0; }))
    return;
  copy_sql_ = "COPY " + qualified_name_ + " (" + names + ") FROM STDIN";
  // The binary format spares the server reading numbers from text, which
  // makes a COPY of numbers about twice as fast; it is used when every
  // column takes it.
  for (const std::size_t position : positions) {
    const int size = binary_size(columns_[position].type_oid);
    if (size == 0) {
      binary_sizes_.clear();
      return;
    }
    binary_sizes_.push_back(size);
  }
  copy_sql_ += " (FORMAT binary)";
}

namespace {

template <class Number>
void write_number(std::string& text, Number number) {
  char buffer[32];
  // The shortest text that reads back as the same number.
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  text.assign(buffer, result.ptr);
}

// Writes "value" as the server reads it into "text"; false for NULL.
bool write_text(std::string& text, const Value& value, FieldKind kind) {
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
    text = iso_text(*moment, kind);
  } else {
    return false;
  }
  return true;
}

}  // namespace

void PostgresTable::write_texts(std::span<const Value> values) {
  const std::size_t count = positions_.size();
  // Sized first: a text's c_str stays put only while the vector does.
  texts_.resize(count);
  parameters_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const bool present = i < values.size() &&
                         write_text(texts_[i], values[i], fields_[positions_[i]].kind);
    parameters_[i] = present ? texts_[i].c_str() : nullptr;
  }
}

void PostgresTable::copy_text_row() {
  // COPY's text format: tab between values, \N for NULL, and a backslash
  // before the few characters that would end a value or a row.
  row_.clear();
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    if (i > 0) row_ += '\t';
    if (!parameters_[i]) {
      row_ += "\\N";
    } else if (texts_[i].find_first_of("\\\t\n\r") == std::string::npos) {
      row_ += texts_[i];
    } else {
      for (const char c : texts_[i]) {
        switch (c) {
          case '\\': row_ += "\\\\"; break;
          case '\t': row_ += "\\t"; break;
          case '\n': row_ += "\\n"; break;
          case '\r': row_ += "\\r"; break;
          default: row_ += c;
        }
      }
    }
  }
  row_ += '\n';
  session_->copy_row(copy_sql_, row_);
}

namespace {

// Appends the lowest "bytes" bytes of "value", most significant first.
void append_big_endian(std::string& out, std::uint64_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
    out += static_cast<char>((value >> shift) & 0xff);
}

// The signature, flags and header extension that open a binary COPY.
constexpr std::string_view binary_header{"PGCOPY\n\377\r\n\0\0\0\0\0\0\0\0\0", 19};

}  // namespace

bool PostgresTable::copy_binary_row(std::span<const Value> values) {
  // Per row the number of values; per value its length (-1 for NULL) and
  // its bytes, every number most significant byte first.
  row_.clear();
  append_big_endian(row_, binary_sizes_.size(), 2);
  for (std::size_t i = 0; i < binary_sizes_.size(); ++i) {
    static const Value null;
    const Value& value = i < values.size() ? values[i] : null;
    const int size = binary_sizes_[i];
    if (const auto* number = std::get_if<double>(&value); number && size == 8) {
      append_big_endian(row_, 8, 4);
      append_big_endian(row_, std::bit_cast<std::uint64_t>(*number), 8);
    } else if (const auto* whole = std::get_if<std::int32_t>(&value); whole && size > 1) {
      append_big_endian(row_, static_cast<std::uint64_t>(size), 4);
      append_big_endian(row_, static_cast<std::uint64_t>(static_cast<std::int64_t>(*whole)), size);
    } else if (const auto* yes = std::get_if<bool>(&value); yes && size == 1) {
      append_big_endian(row_, 1, 4);
      row_ += *yes ? '\1' : '\0';
    } else if (std::holds_alternative<std::monostate>(value)) {
      append_big_endian(row_, 0xffffffff, 4);  // NULL
    } else {
      return false;  // a value of another kind: the server must read it as text
    }
  }
  session_->copy_row(copy_sql_, row_, binary_header);
  return true;
}

void PostgresTable::insert_row() {
  if (insert_name_.empty()) {
    pg_conn* conn = session_->command();
    std::string name = next_statement_name();
    guarded(conn, [&] {
      checked(conn, PQprepare(conn, name.c_str(), insert_sql_.c_str(),
                              static_cast<int>(parameter_types_.size()),
                              parameter_types_.data()));
    });
    insert_name_ = std::move(name);
  }
  // Autocommit: the record is committed when the server answers.
  session_->run_prepared(insert_name_, parameters_);
}

void PostgresTable::store(std::span<const Value> values, std::uint64_t) {
  // Inside a transaction nothing is visible before the commit anyway, so
  // the records stream in one COPY instead of a round trip each.
  // A short transaction's record or two would pay more for starting and
  // ending a COPY than they save.
  if (!copy_sql_.empty() && !one_by_one_ && !session_->short_transaction() &&
      (session_->copying() || session_->in_transaction())) {
    if (binary_sizes_.empty()) {
      write_texts(values);
      copy_text_row();
      return;
    }
    if (copy_binary_row(values)) return;
  }
  write_texts(values);
  insert_row();
}

std::string open_form(std::string_view name) {
  return kadrum::open_form(name, "[\"", [](std::string_view part) { return quote_identifier(part); });
}

}  // namespace kadrum::postgresql
