// --arguments-from=FILE: the arguments of a run kept in a file, one per
// line, for a service's configuration (/etc/kadrum/NAME.conf) or a Windows
// task, where quoting a pattern or a connection string on a command line
// is a trap of its own.
#pragma once

#include <string>
#include <vector>

namespace kadrum {

// The arguments in the file "path": one per line, as written but for the
// blanks and tabs around it and a CR before the line end; empty lines and
// lines whose first character that is not blank is "#" are skipped, and so
// is a UTF-8 byte order mark. Throws kadrum::Error naming the file when it
// cannot be read or names --arguments-from= itself.
std::vector<std::string> read_argument_file(const std::string& path);

}  // namespace kadrum
