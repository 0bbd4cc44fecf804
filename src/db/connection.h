// access_con: the connection through which qry and itab work.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/engine.h"

namespace kadrum {

class Table;

class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  bool is_open() const { return engine_ != nullptr; }
  const std::string& connection_string() const { return connection_string_; }
  // Accepted only while closed; throws kadrum::Error when open.
  void set_connection_string(std::string text);
  // Opens the engine for the data source of the connection string
  // (connection_data_source). Throws ProviderError.
  void open();
  // Closes; every attached table whose cursor closes with it is closed first
  // (the disconnect notice). Nothing happens when already closed.
  void close();
  // The open engine; throws kadrum::Error when closed.
  Engine& engine();

  // Tables register here to hear of the disconnect.
  void attach(Table& table);
  void detach(Table& table);

 private:
  std::string connection_string_;
  std::unique_ptr<Engine> engine_;
  std::vector<Table*> tables_;
};

}  // namespace kadrum
