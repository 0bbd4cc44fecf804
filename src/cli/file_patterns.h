// Patterns after "--" ("logs/*.txt", "station_2026??[0-3]?.txt"), which
// Kadrum expands itself, so that they work where no shell expands them
// (Windows' cmd, a service's argument file) and a folder can be followed as
// files come. "*" matches any characters, "?" one, "[abc]", "[a-z]" one of
// a set ("[!...]" or "[^...]" one outside it), always within one path
// component: never a separator, never a name's leading dot. There is no
// "**". On Windows names match ignoring case, as the system opens them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kadrum {

// True when "argument" holds "*", "?" or a "[" closed by a later "]".
bool holds_pattern(std::string_view argument);

// True when the name "name" (one path component) matches "pattern" (one
// component).
bool name_matches(std::string_view pattern, std::string_view name);

struct PatternMatches {
  std::vector<std::string> files;    // in byte order of the path
  std::vector<std::uint64_t> sizes;  // of each file, as its folder listed it
  std::vector<std::string> folders;  // every folder that was looked into
};

// The files that match "pattern" now, and the folders looked into for
// them. Throws kadrum::Error when the folder the pattern starts from (the
// part before the first component with a pattern) does not exist.
PatternMatches match_pattern(const std::string& pattern);

// True when the path "path", made the way match_pattern makes its paths,
// matches "pattern".
bool path_matches(const std::string& pattern, const std::string& path);

// The files after "--": each argument that holds a pattern and does not
// name an existing file replaced by its matches, everything else kept, in
// order. Without "allow_no_match" a pattern that matches nothing throws
// kadrum::Error; so does a folder of a pattern that does not exist.
std::vector<std::string> expand_file_arguments(const std::vector<std::string>& arguments,
                                               bool allow_no_match);

}  // namespace kadrum
