// The values that drive "db connect" and "go". In the window most of them are
// the texts of its fields; the command-line program keeps them here alone.
#pragma once

#include <string>
#include <vector>

namespace kadrum {

// Texts are kept exactly as typed; only the action that uses one converts it.
struct RunSettings {
  std::string text_file = "imprtfile";  // the text file; empty for standard input
  std::string header_lines = "1";       // how many header lines to skip
  std::string item_number = "itmnr";    // the value's item (single-item mode)
  std::vector<std::string> item_list;   // the items per column (list mode)
  std::string database_name = "dbname"; // the database as shown in the window
  std::string table_name = "tabname";   // the target table
  bool recreate = false;                // drop and create the table first
  bool list_mode = true;                // list mode, else single-item mode
  std::string database_path;            // the data source; "?" takes database_name
};

}  // namespace kadrum
