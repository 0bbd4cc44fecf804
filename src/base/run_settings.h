// The values that drive "db connect" and "go". In the window most of them are
// the texts of its fields; the command-line program keeps them here alone.
#pragma once

#include <string>
#include <vector>

namespace kadrum {

// Texts are kept exactly as typed; only the action that uses one converts it.
struct RunSettings {
  std::string imprtfile = "imprtfile";  // text file name
  std::string nhdl = "1";               // number of header lines, as text
  std::string itmnr = "itmnr";          // item number of the value (single-item mode)
  std::vector<std::string> itemlist;    // item numbers per column (list mode)
  std::string dbname = "dbname";        // database file as shown
  std::string tabname = "tabname";      // target table name
  bool recreate = false;                // "recreate table" check box
  bool multi = true;                    // list mode when true
  std::string dbpath;                   // database path; "?" takes dbname
};

}  // namespace kadrum
