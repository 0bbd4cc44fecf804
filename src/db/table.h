// itab: the table object through which rows are appended.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/engine.h"
#include "convert/value.h"

namespace kadrum {

class Connection;

class Table {
 public:
  explicit Table(Connection& connection);
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ~Table();

  const std::string& table_name() const { return table_name_; }
  // Accepted only while closed; throws kadrum::Error when open.
  void set_table_name(std::string name);

  bool is_open() const { return cursor_ != nullptr; }
  // Opens the table by its name, as typed. Throws "itab: Eigenschaft
  // TableName fehlt" for an empty name, ProviderError when the engine fails
  // or the table is temporary.
  void open();
  // Nothing happens when already closed.
  void close();

  // Only while open.
  const std::vector<EngineField>& fields() const;
  bool supports_update() const;

  // The steps of an append, only while open: begin a new record, give a field
  // (0-based position) its value, write the record, or drop it.
  void add_new();
  void set_value(std::size_t position, Value value);
  void update();
  void cancel_update();
  bool in_insert_state() const { return inserting_; }

  // add_new, set_value for positions 0 to values.size() - 1, and update, in
  // one step that copies no value: the store of a whole converted row. Throws
  // as those do; nothing of the record is stored then, and no record stays
  // begun. "tag" names the record in a later error, as EngineTable::insert
  // says.
  void insert_values(std::span<const Value> values, std::uint64_t tag = 0);
  // Sends the records the engine holds back to send in bulk, only while
  // open; see EngineTable::send_held_records.
  void send_held_records();
  // Only while open; see EngineTable::store_one_by_one.
  void store_one_by_one(bool on) { if (cursor_) cursor_->store_one_by_one(on); }

 private:
  // update, with "tag" naming the record as insert_values says.
  void store_pending(std::uint64_t tag);

  Connection& connection_;
  std::string table_name_;
  std::unique_ptr<EngineTable> cursor_;
  bool inserting_ = false;
  std::vector<std::size_t> pending_positions_;
  std::vector<Value> pending_values_;
};

}  // namespace kadrum
