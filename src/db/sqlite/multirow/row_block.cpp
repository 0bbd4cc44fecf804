#include "db/sqlite/multirow/row_block.h"

#include <sqlite3.h>

#include <string>
#include <utility>

#include "db/sql_text.h"
#include "db/sqlite/errors.h"

namespace kadrum::sqlite {

namespace {

// Every parameter is bound anew before the next step: no clearing needed.
struct ResetAfterwards {
  Statement& statement;
  ~ResetAfterwards() { sqlite3_reset(statement.get()); }
};

}  // namespace

void bind_value(sqlite3_stmt* stmt, int index, const Value& value, FieldKind kind) {
  int rc = SQLITE_OK;
  if (const auto* number = std::get_if<double>(&value)) {
    rc = sqlite3_bind_double(stmt, index, *number);
  } else if (const auto* whole = std::get_if<std::int32_t>(&value)) {
    rc = sqlite3_bind_int(stmt, index, *whole);
  } else if (const auto* amount = std::get_if<Currency>(&value)) {
    rc = sqlite3_bind_double(stmt, index, static_cast<double>(amount->scaled) / 10000.0);
  } else if (const auto* yes = std::get_if<bool>(&value)) {
    rc = sqlite3_bind_int(stmt, index, *yes ? 1 : 0);
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    // The text outlives the step: it is the caller's value or a held copy.
    rc = sqlite3_bind_text(stmt, index, text->data(), static_cast<int>(text->size()),
                           SQLITE_STATIC);
  } else if (const auto* moment = std::get_if<DateTime>(&value)) {
    // ISO texts, which SQLite's date and time functions read.
    const std::string text = iso_text(*moment, kind);
    rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                           SQLITE_TRANSIENT);
  } else {
    rc = sqlite3_bind_null(stmt, index);
  }
  if (rc != SQLITE_OK) throw_last_error(sqlite3_db_handle(stmt));
}

RowBlock::RowBlock(DatabaseHandle db, Statement one_row, Statement many_rows,
                   std::size_t rows, std::vector<FieldKind> kinds)
    : db_(std::move(db)),
      one_row_(std::move(one_row)),
      many_rows_(std::move(many_rows)),
      rows_(many_rows_ ? rows : 0),
      kinds_(std::move(kinds)),
      values_(rows_ * kinds_.size()),
      tags_(rows_) {}

void RowBlock::store_one(std::span<const Value> values) {
  const ResetAfterwards reset{one_row_};
  static const Value null;
  for (std::size_t i = 0; i < kinds_.size(); ++i)
    bind_value(one_row_.get(), static_cast<int>(i + 1), i < values.size() ? values[i] : null,
               kinds_[i]);
  // Autocommit: the record is committed when the step returns.
  one_row_.step();
}

void RowBlock::add(std::span<const Value> values, std::uint64_t tag) {
  const std::size_t k = kinds_.size();
  for (std::size_t i = 0; i < k; ++i) {
    Value& held = values_[held_ * k + i];
    const double* number = i < values.size() ? std::get_if<double>(&values[i]) : nullptr;
    // The usual number goes straight into its place; anything else is
    // assigned, so that a held text reuses its room.
    if (number && std::holds_alternative<double>(held))
      *std::get_if<double>(&held) = *number;
    else if (i < values.size())
      held = values[i];
    else
      held = std::monostate{};
  }
  tags_[held_] = tag;
  ++held_;
}

void RowBlock::bind_held(Statement& statement, std::size_t first, std::size_t row) {
  const std::size_t k = kinds_.size();
  for (std::size_t i = 0; i < k; ++i)
    bind_value(statement.get(), static_cast<int>(first + i + 1), values_[row * k + i], kinds_[i]);
}

void RowBlock::keep_from(std::size_t first) {
  const std::size_t k = kinds_.size();
  for (std::size_t r = first; r < held_; ++r) {
    for (std::size_t i = 0; i < k; ++i) values_[(r - first) * k + i] = std::move(values_[r * k + i]);
    tags_[r - first] = tags_[r];
  }
  held_ -= first;
}

void RowBlock::store_each(std::size_t first, std::size_t count) {
  for (std::size_t r = first; r < first + count; ++r) {
    try {
      const ResetAfterwards reset{one_row_};
      bind_held(one_row_, 0, r);
      one_row_.step();
    } catch (ProviderError& error) {
      error.set_record(tags_[r]);
      keep_from(r + 1);
      throw;
    } catch (...) {
      keep_from(r + 1);
      throw;
    }
  }
}

void RowBlock::send() {
  const std::size_t k = kinds_.size();
  std::size_t r = 0;
  for (; held_ - r >= rows_ && rows_ > 0; r += rows_) {
    try {
      const ResetAfterwards reset{many_rows_};
      for (std::size_t j = 0; j < rows_; ++j) bind_held(many_rows_, j * k, r + j);
      many_rows_.step();
    } catch (const ProviderError& error) {
      // A stop ends the run; a transaction SQLite rolled back as a whole
      // (a full disk, say) has no place left for any record.
      if (error.code() == std::to_string(SQLITE_INTERRUPT) ||
          sqlite3_get_autocommit(db_.get()) != 0) {
        held_ = 0;
        throw;
      }
      // The table has no conflict clause nor trigger (see SqliteTable), so
      // SQLite undid the refused statement whole and the transaction goes
      // on: the records again one by one find the refused one, and store
      // those before it as one-record INSERTs would have.
      store_each(r, rows_);
    } catch (...) {
      keep_from(r);
      throw;
    }
  }
  // The rest of a statement's worth, at the end of the records.
  store_each(r, held_ - r);
  held_ = 0;
}

void Transactions::set_waiting(const std::shared_ptr<RowBlock>& block) {
  if (waiting_ && waiting_ != block) send_waiting();
  waiting_ = block;
}

void Transactions::send_waiting() {
  if (!waiting_) return;
  const std::shared_ptr<RowBlock> block = waiting_;
  block->send();
  waiting_.reset();
}

void Transactions::drop_waiting() noexcept {
  if (waiting_) waiting_->clear();
  waiting_.reset();
}

}  // namespace kadrum::sqlite
