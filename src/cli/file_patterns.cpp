#include "cli/file_patterns.h"

#include <algorithm>

#include "base/error.h"
#include "base/file_io.h"
#include "base/utf8.h"
#include "cli/folder_listing.h"

namespace kadrum {

namespace {

// The characters of "text", folded as the platform compares names.
std::u32string characters(std::string_view text) {
  std::u32string out;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t size = utf8_char_size(text, pos);
    // An invalid byte stands for itself, so that it still matches only itself.
    const char32_t c = utf8_decode(text, pos, size);
    out.push_back(c == U'\uFFFD' && size == 1 ? 0x110000 + static_cast<unsigned char>(text[pos])
                                              : name_fold(c));
    pos += size;
  }
  return out;
}

// The end of the set that begins with the "[" at "open", just after its
// "]"; 0 when it is not closed (the "[" is then a plain character).
std::size_t set_end(const std::u32string& p, std::size_t open) {
  std::size_t i = open + 1;
  if (i < p.size() && (p[i] == U'!' || p[i] == U'^')) ++i;
  if (i < p.size() && p[i] == U']') ++i;  // a "]" first belongs to the set
  for (; i < p.size(); ++i)
    if (p[i] == U']') return i + 1;
  return 0;
}

bool in_set(const std::u32string& p, std::size_t open, std::size_t end, char32_t c) {
  std::size_t i = open + 1;
  const bool negated = i < end && (p[i] == U'!' || p[i] == U'^');
  if (negated) ++i;
  bool found = false;
  for (const std::size_t last = end - 1; i < last; ++i) {
    if (i + 2 < last && p[i + 1] == U'-') {
      if (p[i] <= c && c <= p[i + 2]) found = true;
      i += 2;
    } else if (p[i] == c) {
      found = true;
    }
  }
  return found != negated;
}

// Glob matching with one step back to the last "*": linear in practice.
bool matches(const std::u32string& p, const std::u32string& n) {
  std::size_t pi = 0, ni = 0;
  std::size_t star = std::u32string::npos, star_n = 0;
  while (ni < n.size()) {
    if (pi < p.size() && p[pi] == U'*') {
      star = pi++;
      star_n = ni;
      continue;
    }
    if (pi < p.size()) {
      if (p[pi] == U'?') {
        ++pi;
        ++ni;
        continue;
      }
      if (p[pi] == U'[') {
        if (const std::size_t end = set_end(p, pi)) {
          if (in_set(p, pi, end, n[ni])) {
            pi = end;
            ++ni;
            continue;
          }
        } else if (n[ni] == U'[') {
          ++pi;
          ++ni;
          continue;
        }
      } else if (p[pi] == n[ni]) {
        ++pi;
        ++ni;
        continue;
      }
    }
    if (star == std::u32string::npos) return false;
    pi = star + 1;
    ni = ++star_n;
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}

std::vector<std::string> components(std::string_view text) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : text) {
    if (is_path_separator(c)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// Where the pattern starts: the folder before its first component with a
// pattern ("" for the working folder, "/" or "C:\" for a root), the
// separator written after it, and the components from there on.
struct PatternStart {
  std::string folder;
  char separator;
  std::vector<std::string> rest;
};

PatternStart split_start(const std::string& pattern) {
  std::size_t begin = 0;
  std::size_t separator = std::string::npos;
  while (begin <= pattern.size()) {
    std::size_t end = begin;
    while (end < pattern.size() && !is_path_separator(pattern[end])) ++end;
    if (holds_pattern(std::string_view(pattern).substr(begin, end - begin))) break;
    if (end >= pattern.size()) break;
    separator = end;
    begin = end + 1;
  }
  PatternStart start{"", path_separator(), {}};
  if (separator != std::string::npos) {
    start.separator = pattern[separator];
    start.folder = pattern.substr(0, separator);
    // A root keeps its separator: "/" and "C:\" are folders, "" and "C:" are not.
    if (start.folder.empty() || start.folder.back() == ':') start.folder += start.separator;
  }
  start.rest = components(std::string_view(pattern).substr(
      separator == std::string::npos ? 0 : separator + 1));
  return start;
}

std::string join(const std::string& folder, const std::string& name, char separator) {
  if (folder.empty()) return name;
  if (is_path_separator(folder.back())) return folder + name;
  return folder + separator + name;
}

void descend(const std::string& folder, const std::vector<std::string>& rest, std::size_t index,
             char separator, PatternMatches& out) {
  const std::string& part = rest[index];
  const bool last = index + 1 == rest.size();
  FileInfo info;
  if (!holds_pattern(part)) {
    const std::string path = join(folder, part, separator);
    if (!file_info(path, info)) return;
    if (last && !info.folder) {
      out.files.push_back(path);
      out.sizes.push_back(info.size);
    }
    if (!last && info.folder) descend(path, rest, index + 1, separator, out);
    return;
  }
  std::vector<FolderEntry> entries;
  // A folder that went away since, or that may not be read, holds nothing.
  if (!list_folder(folder.empty() ? "." : folder, entries)) return;
  out.folders.push_back(folder.empty() ? "." : folder);
  for (const FolderEntry& entry : entries) {
    if (!name_matches(part, entry.name)) continue;
    const std::string path = join(folder, entry.name, separator);
    if (last && !entry.folder) {
      out.files.push_back(path);
      out.sizes.push_back(entry.size);
    }
    if (!last && entry.folder) descend(path, rest, index + 1, separator, out);
  }
}

}  // namespace

bool holds_pattern(std::string_view argument) {
  if (argument.find_first_of("*?") != std::string_view::npos) return true;
  const std::size_t open = argument.find('[');
  return open != std::string_view::npos && argument.find(']', open + 2) != std::string_view::npos;
}

bool name_matches(std::string_view pattern, std::string_view name) {
  // A leading dot hides a name from every pattern that does not spell it.
  if (!name.empty() && name.front() == '.' && (pattern.empty() || pattern.front() != '.'))
    return false;
  return matches(characters(pattern), characters(name));
}

PatternMatches match_pattern(const std::string& pattern) {
  const PatternStart start = split_start(pattern);
  FileInfo info;
  if (!start.folder.empty() && (!file_info(start.folder, info) || !info.folder))
    throw Error(fill_message("Den Ordner %s im Muster %s gibt es nicht", {start.folder, pattern}));
  PatternMatches out;
  if (!start.rest.empty()) descend(start.folder, start.rest, 0, start.separator, out);
  std::vector<std::pair<std::string, std::uint64_t>> sorted;
  for (std::size_t i = 0; i < out.files.size(); ++i) sorted.emplace_back(out.files[i], out.sizes[i]);
  std::sort(sorted.begin(), sorted.end());
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    out.files[i] = std::move(sorted[i].first);
    out.sizes[i] = sorted[i].second;
  }
  return out;
}

bool path_matches(const std::string& pattern, const std::string& path) {
  const PatternStart start = split_start(pattern);
  if (start.folder.empty()) {
    if (!path.empty() && is_path_separator(path.front())) return false;
  } else if (path.size() <= start.folder.size() ||
             characters(std::string_view(path).substr(0, start.folder.size())) !=
                 characters(start.folder)) {
    return false;
  } else if (!is_path_separator(start.folder.back()) &&
             !is_path_separator(path[start.folder.size()])) {
    return false;
  }
  const std::vector<std::string> parts =
      components(std::string_view(path).substr(start.folder.size()));
  if (parts.size() != start.rest.size()) return false;
  for (std::size_t i = 0; i < parts.size(); ++i)
    if (!name_matches(start.rest[i], parts[i])) return false;
  return true;
}

std::vector<std::string> expand_file_arguments(const std::vector<std::string>& arguments,
                                               bool allow_no_match) {
  std::vector<std::string> files;
  for (const std::string& argument : arguments) {
    FileInfo info;
    // A name that holds "[" or "*" and exists is that file.
    if (!holds_pattern(argument) || file_info(argument, info)) {
      files.push_back(argument);
      continue;
    }
    const PatternMatches found = match_pattern(argument);
    if (found.files.empty() && !allow_no_match)
      throw Error(fill_message("Zum Muster %s passt keine Datei", {argument}));
    files.insert(files.end(), found.files.begin(), found.files.end());
  }
  return files;
}

}  // namespace kadrum
