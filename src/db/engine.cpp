// The engine of a data source still as text: read once here, and opened
// or created by the platform's choice (engine_choice_*.cpp).
#include "db/engine.h"

namespace kadrum {

std::unique_ptr<Engine> open_engine(std::string_view connection_string) {
  return open_engine(connection_data_source(connection_string));
}

bool create_database(std::string_view data_source) {
  return create_database(read_data_source(data_source));
}

}  // namespace kadrum
