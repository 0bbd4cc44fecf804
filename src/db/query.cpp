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
  MarkedStatement marked = scan_parameter_markers(text_);
  command_text_ = std::move(marked.text);
  parameters_ = std::move(marked.names);
}

void Query::execute() {
  if (!connection_.is_open()) connection_.open();
  Engine& engine = connection_.engine();
  if (engine.parameter_marker(0) == "?") {
    engine.execute(command_text_, parameters_.size());
    return;
  }
  // The engine writes its markers differently: scan the text again for it.
  const MarkedStatement marked = scan_parameter_markers(
      text_, [&engine](std::size_t index) { return engine.parameter_marker(index); });
  engine.execute(marked.text, marked.names.size());
}

std::vector<std::vector<std::string>> Query::rows() {
  if (!connection_.is_open()) connection_.open();
  return connection_.engine().select_text(command_text_);
}

}  // namespace kadrum
