#include "db/table.h"

#include <algorithm>
#include <iterator>

#include "base/error.h"
#include "base/messages.h"
#include "base/provider_error.h"
#include "db/connection.h"

namespace kadrum {

namespace {

// The table object's name, put before the messages of its own checks.
constexpr std::string_view object_name = "itab";

[[noreturn]] void fail(std::string_view message) {
  throw Error(messages::for_object(object_name, message));
}


}  // namespace

Table::Table(Connection& connection) : connection_(connection) {
  connection_.attach(*this);
}

Table::~Table() {
  close();
  connection_.detach(*this);
}

void Table::set_table_name(std::string name) {
  if (is_open()) fail(messages::dataset_open);
  table_name_ = std::move(name);
}

void Table::open() {
  if (is_open()) return;
  if (!connection_.is_open()) connection_.open();
  if (table_name_.empty()) fail(fill_message(messages::property_missing, {"TableName"}));
  auto cursor = connection_.engine().open_table(table_name_);
  // Its records would vanish when Kadrum disconnects, after the summary
  // has called them stored.
  if (cursor->temporary())
    throw ProviderError(fill_message(
        "Die Tabelle '%s' ist temporär: sie verschwindet mit dem Ende der Verbindung und "
        "mit ihr jeder Datensatz",
        {table_name_}));
  cursor_ = std::move(cursor);
}

void Table::close() {
  inserting_ = false;
  pending_positions_.clear();
  pending_values_.clear();
  cursor_.reset();
}

const std::vector<EngineField>& Table::fields() const {
  if (!is_open()) fail(messages::dataset_closed);
  return cursor_->fields();
}

bool Table::supports_update() const {
  if (!is_open()) fail(messages::dataset_closed);
  return cursor_->accepts_new_records();
}

void Table::add_new() {
  if (!is_open()) fail(messages::dataset_closed);
  // Cleared, not released: the next record reuses the room.
  pending_positions_.clear();
  pending_values_.clear();
  inserting_ = true;
}

void Table::set_value(std::size_t position, Value value) {
  const auto& all = fields();
  if (!inserting_) fail(messages::not_inserting);
  if (position >= all.size()) throw Error(messages::argument_out_of_range);
  // A field the engine cannot write is passed over without a message.
  if (!all[position].updatable) return;
  for (std::size_t i = 0; i < pending_positions_.size(); ++i) {
    if (pending_positions_[i] == position) {
      pending_values_[i] = std::move(value);
      return;
    }
  }
  pending_positions_.push_back(position);
  pending_values_.push_back(std::move(value));
}

void Table::update() { store_pending(0); }

void Table::store_pending(std::uint64_t tag) {
  if (!is_open()) fail(messages::dataset_closed);
  if (!inserting_) return;
  // On failure the record stays pending until cancel_update drops it.
  cursor_->insert(pending_positions_, pending_values_, tag);
  inserting_ = false;
  pending_positions_.clear();
  pending_values_.clear();
}

void Table::insert_values(std::span<const Value> values, std::uint64_t tag) {
  static constexpr std::size_t kPositions[] = {0, 1, 2};
  const auto& all = fields();
  const bool direct = values.size() <= std::size(kPositions) && values.size() <= all.size() &&
                      std::all_of(all.begin(), all.begin() + values.size(),
                                  [](const EngineField& field) { return field.updatable; });
  if (direct) {
    cancel_update();
    cursor_->insert(std::span(kPositions).first(values.size()), values, tag);
    return;
  }
  // Fields passed over or out of range: the general steps decide.
  add_new();
  try {
    for (std::size_t i = 0; i < values.size(); ++i) set_value(i, values[i]);
    store_pending(tag);
  } catch (...) {
    cancel_update();
    throw;
  }
}

void Table::send_held_records() {
  if (!is_open()) fail(messages::dataset_closed);
  cursor_->send_held_records();
}

void Table::cancel_update() {
  inserting_ = false;
  pending_positions_.clear();
  pending_values_.clear();
}

}  // namespace kadrum
