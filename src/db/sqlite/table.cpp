#include "db/sqlite/table.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <utility>

#include "db/identifier.h"
#include "db/sql_text.h"
#include "db/sqlite/column_kinds.h"
#include "db/sqlite/errors.h"

namespace kadrum::sqlite {

namespace {

// The objects a statement reads directly, as SQLite resolved its names:
// reads made on behalf of a view carry the view's name and are left out.
struct ReadObjects {
  std::string schema;
  std::string object;
  bool several = false;
};

int record_read(void* data, int action, const char* object, const char*,
                const char* schema, const char* on_behalf_of) {
  if (action != SQLITE_READ || on_behalf_of || !object || !schema) return SQLITE_OK;
  auto& read = *static_cast<ReadObjects*>(data);
  if (read.object.empty()) {
    read.schema = schema;
    read.object = object;
  } else if (read.schema != schema || read.object != object) {
    read.several = true;
  }
  return SQLITE_OK;
}

class AuthorizerScope {
 public:
  AuthorizerScope(sqlite3* db, ReadObjects& read) : db_(db) {
    sqlite3_set_authorizer(db_, record_read, &read);
  }
  AuthorizerScope(const AuthorizerScope&) = delete;
  AuthorizerScope& operator=(const AuthorizerScope&) = delete;
  ~AuthorizerScope() { sqlite3_set_authorizer(db_, nullptr, nullptr); }

 private:
  sqlite3* db_;
};

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

void bind_text(sqlite3_stmt* stmt, int index, const std::string& text) {
  if (sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                        SQLITE_STATIC) != SQLITE_OK)
    throw_last_error(sqlite3_db_handle(stmt));
}

}  // namespace

SqliteTable::SqliteTable(DatabaseHandle db, std::string_view open_name,
                         std::shared_ptr<Transactions> transactions)
    : db_(std::move(db)), transactions_(std::move(transactions)) {
  ReadObjects read;
  Statement select;
  {
    AuthorizerScope scope(db_.get(), read);
    // Preparing resolves the name and yields the columns; no row is read.
    select = Statement::prepare_single(db_.get(), "SELECT * FROM " + std::string(open_name));
  }
  read_columns(select.get());
  if (!read.several) {
    schema_ = std::move(read.schema);
    object_ = std::move(read.object);
  }
  read_table_details();
  mark_rowid_alias();
  // A view takes no new records here, even one with INSTEAD OF triggers.
  accepts_new_records_ = !object_.empty() && !type_.empty() && type_ != "view" &&
                         sqlite3_db_readonly(db_.get(), schema_.c_str()) == 0;
  many_rows_at_once_ = accepts_new_records_ && takes_many_rows_at_once();
}

void SqliteTable::read_columns(sqlite3_stmt* select) {
  const int count = sqlite3_column_count(select);
  fields_.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(select, i);
    const char* declared = sqlite3_column_decltype(select, i);
    const ColumnKind kind = column_kind(declared ? declared : "");
    fields_.push_back({name ? name : "", kind.kind, kind.declared_size, true});
  }
}

void SqliteTable::read_table_details() {
  if (object_.empty()) return;
  Statement list = Statement::prepare(
      db_.get(), "SELECT type, wr FROM pragma_table_list(?1) WHERE schema = ?2");
  bind_text(list.get(), 1, object_);
  bind_text(list.get(), 2, schema_);
  if (list.step()) {
    type_ = list.text(0);
    without_rowid_ = list.integer(1) != 0;
  }

  // Generated columns (hidden 2 and 3) are computed, never written; hidden 1
  // marks virtual-table columns that SELECT * leaves out.
  Statement columns = Statement::prepare(
      db_.get(),
      "SELECT hidden FROM pragma_table_xinfo(?1, ?2) WHERE hidden <> 1 ORDER BY cid");
  bind_text(columns.get(), 1, object_);
  bind_text(columns.get(), 2, schema_);
  std::vector<int> hidden;
  while (columns.step()) hidden.push_back(columns.integer(0));
  if (hidden.size() != fields_.size()) return;
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (hidden[i] == 2 || hidden[i] == 3) fields_[i].updatable = false;
}

void SqliteTable::mark_rowid_alias() {
  if (type_ != "table" || without_rowid_) return;
  // SQLite reports the alias column as the origin of "rowid", unless a real
  // column takes that name; then one of its other two names is asked.
  const std::array<std::string_view, 3> rowid_names{"rowid", "_rowid_", "oid"};
  const auto free_name = std::find_if(rowid_names.begin(), rowid_names.end(), [&](auto n) {
    return std::none_of(fields_.begin(), fields_.end(),
                        [&](const EngineField& f) { return same_name(f.name, n); });
  });
  if (free_name == rowid_names.end()) return;
  const Statement probe = Statement::prepare(
      db_.get(), "SELECT " + std::string(*free_name) + " FROM " +
                     quote_identifier(schema_) + "." + quote_identifier(object_));
  const char* origin = sqlite3_column_origin_name(probe.get(), 0);
  if (!origin) return;
  for (auto& field : fields_) {
    if (field.name == origin) {
      field.kind = FieldKind::autoincrement;
      field.declared_size = 0;
      field.updatable = false;
    }
  }
}

bool SqliteTable::takes_many_rows_at_once() {
  // A virtual table's module, a trigger, or a conflict clause other than
  // the default ABORT (FAIL keeps the rows before a refused one of the same
  // statement; ROLLBACK ends the transaction) would make a refused row of
  // a statement of many differ from a refused INSERT of one. "conflict"
  // anywhere in the table's text is enough to stay with INSERTs of one.
  if (type_ != "table") return false;
  Statement count = Statement::prepare(
      db_.get(), "SELECT (SELECT count(*) FROM " + quote_identifier(schema_) +
                     ".sqlite_schema WHERE tbl_name = ?1 COLLATE NOCASE AND (type = 'trigger' "
                     "OR (type = 'table' AND sql LIKE '%conflict%'))) + (SELECT count(*) FROM "
                     "temp.sqlite_schema WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE)");
  bind_text(count.get(), 1, object_);
  return count.step() && count.integer(0) == 0;
}

void SqliteTable::prepare(std::span<const std::size_t> positions) {
  // Records waiting under the positions before go first, in their order.
  transactions_->send_waiting();
  std::vector<std::string> names;
  std::vector<FieldKind> kinds;
  for (const std::size_t position : positions) {
    names.push_back(fields_.at(position).name);
    kinds.push_back(fields_[position].kind);
  }
  const std::string target = quote_identifier(schema_) + "." + quote_identifier(object_);
  const std::string columns = column_list(names);
  Statement one_row = Statement::prepare(db_.get(), insert_statement(target, columns, names.size()));
  // Rows per statement by measurement: from about 50 on, the cost per
  // record hardly falls; 100 rows of three columns stay far within the
  // smallest limit on parameters SQLite has been built with (999).
  constexpr std::size_t rows_per_statement = 100;
  const std::size_t parameter_limit =
      static_cast<std::size_t>(sqlite3_limit(db_.get(), SQLITE_LIMIT_VARIABLE_NUMBER, -1));
  const std::size_t rows =
      names.empty() ? 0 : std::min(rows_per_statement, parameter_limit / names.size());
  Statement many_rows;
  if (many_rows_at_once_ && rows > 1)
    many_rows = Statement::prepare(
        db_.get(), insert_statement(target, columns, names.size(), {}, " DEFAULT VALUES", rows));
  block_ = std::make_shared<RowBlock>(db_, std::move(one_row), std::move(many_rows), rows,
                                      std::move(kinds));
}

void SqliteTable::store(std::span<const Value> values, std::uint64_t tag) {
  if (!block_->holds() || !transactions_->long_one() || sqlite3_get_autocommit(db_.get()) != 0) {
    block_->store_one(values);
    return;
  }
  if (block_->size() == 0) transactions_->set_waiting(block_);
  block_->add(values, tag);
  if (block_->full()) block_->send();
}

void SqliteTable::send_held_records() { transactions_->send_waiting(); }

std::string open_form(std::string_view name) {
  return kadrum::open_form(name, "[", [](std::string_view part) {
    std::string bracketed = "[";
    bracketed.append(part);
    bracketed += ']';
    return bracketed;
  });
}

}  // namespace kadrum::sqlite
