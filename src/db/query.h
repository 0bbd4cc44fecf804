// qry: a statement object with a statement list, run through access_con.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/engine.h"

namespace kadrum {

class Connection;

class Query {
 public:
  explicit Query(Connection& connection) : connection_(connection) {}

  // Empties the statement list; the command text and parameters go with it.
  void clear();
  // Adds a line to the statement list and sets the command text anew.
  void add(std::string line);
  // The statement list with every line followed by CR LF.
  const std::string& text() const { return text_; }
  // The text handed to the engine: text() after the parameter-marker scan.
  const std::string& command_text() const { return command_text_; }
  // Names of the parameter markers, in marker order; none has a value.
  const std::vector<std::string>& parameters() const { return parameters_; }
  // Executes the command text; opens the connection first when it is closed.
  // Throws ProviderError.
  void execute();
  // Executes the command text, which has no parameters, and returns the
  // rows of its result, each cell as text. Throws ProviderError.
  std::vector<std::vector<std::string>> rows();
  // Prepares the command text to be run again and again, each time with
  // values for its parameters in marker order; opens the connection first
  // when it is closed. The statement lives no longer than the connection's
  // engine. "one_row_failure" as Engine::prepare says. Throws
  // ProviderError.
  std::unique_ptr<EngineStatement> prepare(const std::string& one_row_failure = {});

 private:
  void set_text();

  Connection& connection_;
  std::vector<std::string> lines_;
  std::string text_;
  std::string command_text_;
  std::vector<std::string> parameters_;
};

}  // namespace kadrum
