#include "db/query.h"

#include "db/connection.h"
#include "db/parameter_markers.h"

namespace kadrum {

void Query::clear() {
  if (lines_.empty()) return;
  lines_.clear();
  set_text();
}

void Query::add(std::string line) {
  lines_.push_back(std::move(line));
  set_text();
}

void Query::set_text() {
  text_.clear();
  for (const auto& line : lines_) {
    text_ += line;
    text_ += "\r\n";
  }
  if (text_.empty()) {
    command_text_.clear();
    parameters_.clear();
    return;
  }
  // The connection may not be open yet: no engine's dialect is known.
  MarkedStatement marked = scan_parameter_markers(text_, neutral_sql);
  command_text_ = std::move(marked.text);
  parameters_ = std::move(marked.names);
}

void Query::execute() {
  if (!connection_.is_open()) connection_.open();
  connection_.engine().execute_command(text_);
}

std::vector<std::vector<std::string>> Query::rows() {
  if (!connection_.is_open()) connection_.open();
  return connection_.engine().select_text(command_text_);
}

std::unique_ptr<EngineStatement> Query::prepare(const std::string& one_row_failure) {
  if (!connection_.is_open()) connection_.open();
  return connection_.engine().prepare_command(text_, one_row_failure);
}

}  // namespace kadrum
