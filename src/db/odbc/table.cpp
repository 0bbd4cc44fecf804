#include "db/odbc/table.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/stop_signal.h"
#include "db/sql_text.h"
#include "db/odbc/column_kinds.h"

namespace kadrum::odbc {

namespace {

// Records per call inside a transaction: large enough that the round trips
// vanish (into MariaDB as fast as LOAD DATA LOCAL INFILE; 2,000 gave about
// 0.9 of it), small enough that the buffers of three number columns stay
// under half a megabyte.
constexpr std::size_t block_rows = 10000;

std::string number_text(double number) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::string(buffer, result.ptr);
}

// A value as the text a character or decimal column reads.
std::string value_text(const Value& value, FieldKind kind) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* moment = std::get_if<DateTime>(&value)) return iso_text(*moment, kind);
  if (const auto* number = std::get_if<double>(&value)) return number_text(*number);
  if (const auto* whole = std::get_if<std::int32_t>(&value)) return std::to_string(*whole);
  if (const auto* yes = std::get_if<bool>(&value)) return *yes ? "1" : "0";
  if (const auto* amount = std::get_if<Currency>(&value)) {
    const bool negative = amount->scaled < 0;
    const auto magnitude = negative ? 0 - static_cast<std::uint64_t>(amount->scaled)
                                    : static_cast<std::uint64_t>(amount->scaled);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    return buffer;
  }
  return {};
}

double value_number(const Value& value) {
  if (const auto* number = std::get_if<double>(&value)) return *number;
  if (const auto* whole = std::get_if<std::int32_t>(&value)) return *whole;
  if (const auto* amount = std::get_if<Currency>(&value))
    return static_cast<double>(amount->scaled) / 10000.0;
  if (const auto* yes = std::get_if<bool>(&value)) return *yes ? 1 : 0;
  return std::strtod(value_text(value, FieldKind::floating).c_str(), nullptr);
}

SQLLEN attribute(SQLHANDLE statement, SQLUSMALLINT column, SQLUSMALLINT field) {
  SQLLEN number = 0;
  if (!succeeded(SQLColAttributeW(statement, column, field, nullptr, 0, nullptr, &number)))
    return 0;
  return number;
}

std::string text_attribute(SQLHANDLE statement, SQLUSMALLINT column, SQLUSMALLINT field) {
  SQLWCHAR text[256] = {};
  SQLSMALLINT bytes = 0;
  if (!succeeded(SQLColAttributeW(statement, column, field, text, sizeof text, &bytes, nullptr)))
    return {};
  return narrow(text, std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) /
                                                sizeof(SQLWCHAR),
                                            255));
}

// Whether the catalog lists "table" as a view.
bool is_view(SQLHANDLE connection, const std::string& catalog, const std::string& schema,
             const std::string& table) {
  StatementHandle tables(connection);
  WideString c = widen(catalog), s = widen(schema), t = widen(table);
  if (!succeeded(SQLTablesW(tables.get(), catalog.empty() ? nullptr : c.data(),
                            catalog.empty() ? 0 : SQL_NTS, schema.empty() ? nullptr : s.data(),
                            schema.empty() ? 0 : SQL_NTS, t.data(), SQL_NTS, nullptr, 0)))
    return false;
  bool view = false;
  while (succeeded(SQLFetch(tables.get()))) {
    SQLWCHAR type[64] = {};
    SQLLEN length = 0;
    if (succeeded(SQLGetData(tables.get(), 4, SQL_C_WCHAR, type, sizeof type, &length)) &&
        length > 0) {
      const std::string kind = narrow(type, std::min<std::size_t>(length / sizeof(SQLWCHAR), 63));
      if (kind.find("VIEW") != std::string::npos) view = true;
    }
  }
  return view;
}

}  // namespace

Block::Block(std::shared_ptr<Session> session, StatementHandle statement,
             std::vector<FieldKind> kinds)
    : session_(std::move(session)), statement_(std::move(statement)) {
  for (const FieldKind kind : kinds) {
    Column column;
    column.kind = kind;
    if (kind == FieldKind::floating) {
      column.c_type = SQL_C_DOUBLE;
      column.sql_type = SQL_DOUBLE;
    } else if (kind == FieldKind::integer32 || kind == FieldKind::integer16 ||
               kind == FieldKind::unsigned16) {
      column.c_type = SQL_C_SLONG;
      column.sql_type = SQL_INTEGER;
    } else if (kind == FieldKind::boolean) {
      column.c_type = SQL_C_BIT;
      column.sql_type = SQL_BIT;
    }
    columns_.push_back(std::move(column));
  }
  const auto handle = statement_.get();
  SQLSetStmtAttrW(handle, SQL_ATTR_PARAM_BIND_TYPE,
                  reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0);
}

void Block::add(std::span<const Value> values, std::uint64_t tag) {
  static const Value null;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    Column& column = columns_[i];
    const Value& value = i < values.size() ? values[i] : null;
    const bool is_null = std::holds_alternative<std::monostate>(value);
    column.indicators.resize(rows_ + 1);
    column.indicators[rows_] = is_null ? SQL_NULL_DATA : 0;
    switch (column.c_type) {
      case SQL_C_DOUBLE:
        column.numbers.resize(rows_ + 1);
        column.numbers[rows_] = is_null ? 0 : value_number(value);
        break;
      case SQL_C_SLONG:
        column.integers.resize(rows_ + 1);
        column.integers[rows_] = is_null ? 0 : static_cast<SQLINTEGER>(value_number(value));
        break;
      case SQL_C_BIT:
        column.bits.resize(rows_ + 1);
        column.bits[rows_] = !is_null && value_number(value) != 0;
        break;
      default:
        column.texts.resize(rows_ + 1);
        column.texts[rows_] = is_null ? WideString() : widen(value_text(value, column.kind));
        column.indicators[rows_] =
            is_null ? SQL_NULL_DATA
                    : static_cast<SQLLEN>(column.texts[rows_].size() * sizeof(SQLWCHAR));
    }
  }
  tags_.resize(rows_ + 1);
  tags_[rows_] = tag;
  ++rows_;
}

void Block::lay_out(std::size_t rows) {
  // Parameter arrays take texts of one width: the longest of the block.
  for (Column& column : columns_) {
    if (column.c_type != SQL_C_WCHAR) continue;
    std::size_t longest = 1;
    for (std::size_t r = 0; r < rows; ++r) longest = std::max(longest, column.texts[r].size());
    column.stride = longest + 1;
    column.text_buffer.assign(column.stride * rows, 0);
    for (std::size_t r = 0; r < rows; ++r)
      std::copy(column.texts[r].begin(), column.texts[r].end(),
                column.text_buffer.begin() + static_cast<std::ptrdiff_t>(r * column.stride));
  }
}

SQLRETURN Block::execute(std::size_t first, std::size_t rows) {
  SQLHANDLE handle = statement_.get();
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    Column& column = columns_[i];
    SQLPOINTER buffer = nullptr;
    SQLLEN width = 0;
    SQLULEN size = 0;
    switch (column.c_type) {
      case SQL_C_DOUBLE:
        buffer = column.numbers.data() + first;
        width = sizeof(double);
        size = 15;
        break;
      case SQL_C_SLONG:
        buffer = column.integers.data() + first;
        width = sizeof(SQLINTEGER);
        size = 10;
        break;
      case SQL_C_BIT:
        buffer = column.bits.data() + first;
        width = 1;
        size = 1;
        break;
      default:
        buffer = column.text_buffer.data() + first * column.stride;
        width = static_cast<SQLLEN>(column.stride * sizeof(SQLWCHAR));
        size = column.stride - 1;
    }
    check(SQLBindParameter(handle, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                           column.c_type, column.sql_type, size, 0, buffer, width,
                           column.indicators.data() + first),
          SQL_HANDLE_STMT, handle, session_->secrets());
  }
  if (session_->dialect().parameter_arrays) {
    SQLSetStmtAttrW(handle, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(rows), 0);
    // What a driver leaves unwritten reads as stored.
    statuses_.assign(rows, unreported);
    processed_ = rows;
    SQLSetStmtAttrW(handle, SQL_ATTR_PARAM_STATUS_PTR, statuses_.data(), 0);
    SQLSetStmtAttrW(handle, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed_, 0);
  }
  const Session::Running running(*session_, handle);
  return SQLExecute(handle);
}

std::size_t Block::first_unstored(std::size_t rows) const {
  if (!session_->dialect().parameter_arrays) return rows;
  for (std::size_t r = 0; r < rows; ++r) {
    if (r >= processed_) return r;
    const SQLUSMALLINT status = statuses_[r];
    if (status == SQL_PARAM_ERROR || status == SQL_PARAM_DIAG_UNAVAILABLE ||
        status == SQL_PARAM_UNUSED)
      return r;
  }
  return rows;
}

ProviderError Block::refusal(const ProviderError& error, std::size_t r, std::size_t rows,
                             std::uint64_t first) const {
  // A broken connection or a server that ended the statement is no
  // record's fault: it names none.
  if (error.stopped_by_server()) return error;
  if (rows == 1) {
    ProviderError named(error);
    named.set_record(tags_[r]);
    return named;
  }
  // The database cannot know the file line: the number of the record in
  // the transaction names it, and the tag tells the caller.
  ProviderError named(error.german(),
                      error.engine_text() + "; Datensatz " + std::to_string(first + r) +
                          " der Transaktion",
                      error.code());
  named.set_record(tags_[r]);
  return named;
}

namespace {

// Runs Kadrum's own fixed "sql"; false when the database refuses it.
bool run_own(Session& session, const char* sql) {
  StatementHandle statement(session.connection());
  WideString text = widen(sql);
  const Session::Running running(session, statement.get());
  return succeeded(SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())));
}

}  // namespace

void Block::send() {
  if (rows_ == 0) return;
  const std::size_t rows = rows_;
  rows_ = 0;  // sent or refused, the records leave the block
  const std::uint64_t first = sent_ + 1;
  sent_ += rows;
  lay_out(rows);
  SQLHANDLE handle = statement_.get();
  // Several records go behind a savepoint: when the database refuses one,
  // the block is undone and sent again record by record, so that the
  // message names the refused record and the transaction stays usable.
  const bool guarded = rows > 1 && run_own(*session_, "SAVEPOINT kadrum_block");
  const SQLRETURN rc = execute(0, rows);
  // A value the driver or the database cut or rounded to make it fit
  // comes as a success with information: the record is refused, as a
  // database that refuses the value would.
  const Diagnostic changed =
      rc == SQL_SUCCESS_WITH_INFO ? value_changed(SQL_HANDLE_STMT, handle) : Diagnostic{};
  if ((succeeded(rc) || rc == SQL_NO_DATA) && changed.sqlstate.empty()) {
    // A driver may report a success with information where some records
    // were refused, marking them in the status array only.
    const std::size_t refused = first_unstored(rows);
    if (refused == rows) {
      if (guarded) run_own(*session_, "RELEASE SAVEPOINT kadrum_block");
      return;
    }
    const ProviderError error = failure(SQL_HANDLE_STMT, handle, session_->secrets());
    if (guarded) run_own(*session_, "ROLLBACK TO SAVEPOINT kadrum_block");
    throw refusal(error, refused, rows, first);
  }
  const ProviderError error =
      changed.sqlstate.empty()
          ? failure(SQL_HANDLE_STMT, handle, session_->secrets())
          : changed_value(changed, !session_->in_transaction(), session_->secrets());
  // The drivers mark every record of a refused array alike (or not at
  // all): only sending the records one by one finds the refused one. A
  // stop request cancelled the block; the run ends without that, and a
  // lost connection or a server that ended the statement leaves nothing
  // to send them on.
  if (rows == 1) throw refusal(error, 0, 1, first);
  if (!guarded || !stop_request().empty() || error.stopped_by_server()) throw error;
  run_own(*session_, "ROLLBACK TO SAVEPOINT kadrum_block");
  for (std::size_t r = 0; r < rows; ++r) {
    const SQLRETURN one = execute(r, 1);
    const Diagnostic one_changed =
        one == SQL_SUCCESS_WITH_INFO ? value_changed(SQL_HANDLE_STMT, handle) : Diagnostic{};
    if (!one_changed.sqlstate.empty())
      throw refusal(changed_value(one_changed, false, session_->secrets()), r, rows, first);
    if ((succeeded(one) || one == SQL_NO_DATA) && first_unstored(1) == 1) continue;
    throw refusal(failure(SQL_HANDLE_STMT, handle, session_->secrets()), r, rows, first);
  }
  throw error;
}

OdbcTable::OdbcTable(std::shared_ptr<Session> session, std::string open_name)
    : session_(std::move(session)), open_name_(std::move(open_name)) {
  const std::string select = "SELECT * FROM " + open_name_;
  check_single_statement(select, *session_->dialect().sql);
  session_->send_waiting();
  StatementHandle statement(session_->connection());
  WideString text = widen(select);
  // Preparing resolves the name and yields the columns; no row is read.
  check(SQLPrepareW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
        SQL_HANDLE_STMT, statement.get(), session_->secrets());
  read_columns(statement.get());
}

OdbcTable::~OdbcTable() = default;

void OdbcTable::read_columns(SQLHANDLE select) {
  SQLSMALLINT count = 0;
  check(SQLNumResultCols(select, &count), SQL_HANDLE_STMT, select, session_->secrets());
  std::string catalog, schema, table;
  bool one_table = true;
  for (SQLUSMALLINT i = 1; i <= count; ++i) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    check(SQLDescribeColW(select, i, name, 255, &name_length, &type, &size, &digits, &nullable),
          SQL_HANDLE_STMT, select, session_->secrets());
    const ColumnKind kind =
        column_kind(type, size, attribute(select, i, SQL_DESC_UNSIGNED) == SQL_TRUE);
    EngineField field{narrow(name, std::min<std::size_t>(std::max<SQLSMALLINT>(name_length, 0), 255)),
                      kind.kind, kind.declared_size, true};
    if (attribute(select, i, SQL_DESC_AUTO_UNIQUE_VALUE) == SQL_TRUE) {
      field.kind = FieldKind::autoincrement;
      field.declared_size = 0;
      field.updatable = false;
    }
    if (attribute(select, i, SQL_DESC_UPDATABLE) == SQL_ATTR_READONLY) field.updatable = false;
    fields_.push_back(std::move(field));
    const std::string base = text_attribute(select, i, SQL_DESC_BASE_TABLE_NAME);
    if (i == 1) {
      table = base;
      catalog = text_attribute(select, i, SQL_DESC_CATALOG_NAME);
      schema = text_attribute(select, i, SQL_DESC_SCHEMA_NAME);
    } else if (base != table) {
      one_table = false;
    }
  }
  // Records go to one table: not to a view, nor to a join of several.
  accepts_new_records_ = count > 0 && one_table && !session_->dialect().read_only &&
                         !(table.empty() ? false : is_view(session_->connection(), catalog, schema, table));
}

void OdbcTable::prepare(std::span<const std::size_t> positions) {
  session_->send_waiting();
  block_.reset();
  std::vector<std::string> names;
  std::vector<FieldKind> kinds;
  for (const std::size_t position : positions) {
    names.push_back(fields_.at(position).name);
    kinds.push_back(fields_[position].kind);
  }
  const Dialect& dialect = session_->dialect();
  const std::string sql = insert_statement(open_name_, column_list(names, dialect.quote),
                                           names.size(), {}, dialect.no_columns);
  StatementHandle statement(session_->connection());
  WideString text = widen(sql);
  check(SQLPrepareW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size())),
        SQL_HANDLE_STMT, statement.get(), session_->secrets());
  block_ = std::make_shared<Block>(session_, std::move(statement), std::move(kinds));
}

void OdbcTable::store(std::span<const Value> values, std::uint64_t tag) {
  if (one_by_one_ || !session_->in_transaction() || !session_->dialect().parameter_arrays) {
    // Autocommit: the record is committed when the execution returns.
    session_->send_waiting();
    block_->clear();
    block_->add(values, tag);
    block_->send();
    return;
  }
  block_->add(values, tag);
  if (block_->size() == 1) session_->set_waiting(block_);
  if (block_->size() >= block_rows) block_->send();
}

void OdbcTable::send_held_records() { session_->send_waiting(); }

}  // namespace kadrum::odbc
