#include "db/connection.h"

#include <algorithm>

#include "base/error.h"
#include "base/messages.h"
#include "db/table.h"

namespace kadrum {

Connection::~Connection() { close(); }

void Connection::set_connection_string(std::string text) {
  if (is_open())
    throw Error(messages::for_object("access_con", messages::connection_open));
  connection_string_ = std::move(text);
}

void Connection::open() {
  if (is_open())
    throw Error(messages::for_object("access_con", messages::connection_open));
  // The data source is read here, once, from the string "db connect" made.
  engine_ = open_engine(connection_data_source(connection_string_));
}

void Connection::close() {
  if (!is_open()) return;
  // The disconnect notice: a table's cursor never outlives its connection.
  for (Table* table : tables_) table->close();
  engine_.reset();
}

Engine& Connection::engine() {
  if (!is_open())
    throw Error(messages::for_object("access_con", messages::connection_closed));
  return *engine_;
}

void Connection::attach(Table& table) {
  if (std::find(tables_.begin(), tables_.end(), &table) == tables_.end())
    tables_.push_back(&table);
}

void Connection::detach(Table& table) {
  tables_.erase(std::remove(tables_.begin(), tables_.end(), &table), tables_.end());
}

}  // namespace kadrum
