// Creating a new, empty database file for the default engine.
#pragma once

#include <string>

namespace kadrum {

// Creates an empty SQLite database at "path" when no file is there and
// returns true; returns false, changing nothing, when a file exists. Throws
// ProviderError when the file cannot be created.
bool create_database_file(const std::string& path);

}  // namespace kadrum
