// The narrow interface every database engine implements. The component layer
// (Connection, Query, Table) is written against it alone.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/field_kind.h"
#include "convert/value.h"

namespace kadrum {

// One column of an open table, as the append needs it.
struct EngineField {
  std::string name;
  FieldKind kind = FieldKind::floating;
  int declared_size = 0;  // characters, for ansi_text; 0 when none
  bool updatable = true;  // false for generated and auto-increment columns
};

// An open table. Holds no rows: only its fields and what adding needs.
class EngineTable {
 public:
  virtual ~EngineTable() = default;
  // The table's columns in table order.
  virtual const std::vector<EngineField>& fields() const = 0;
  // False for views and read-only databases.
  virtual bool accepts_new_records() const = 0;
  // Stores one new record: values[i] goes to the field at 0-based
  // positions[i]; other columns get the engine's default. The record is
  // committed before this returns. Throws ProviderError; nothing is stored then.
  virtual void insert(std::span<const std::size_t> positions,
                      std::span<const Value> values) = 0;
};

// An open connection to one database.
class Engine {
 public:
  virtual ~Engine() = default;
  // Executes exactly one statement with "parameter_count" parameters that have
  // no value. Text after the first statement is refused. Throws ProviderError.
  virtual void execute(std::string_view statement,
                       std::size_t parameter_count) = 0;
  // Opens the table that "open_name" names (brackets allowed around names).
  // Throws ProviderError when it is missing or cannot be read.
  virtual std::unique_ptr<EngineTable> open_table(std::string_view open_name) = 0;
};

// Opens the engine and database that "connection_string" names. Throws
// ProviderError with a German description when the data source is unusable.
std::unique_ptr<Engine> open_engine(std::string_view connection_string);

}  // namespace kadrum
