// The names in one folder, and how names compare there: the part of file
// patterns (file_patterns.h) that asks the file system, one file per
// platform (folder_listing_posix.cpp, folder_listing_win.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kadrum {

struct FolderEntry {
  std::string name;  // UTF-8, without the folder
  bool folder = false;
  std::uint64_t size = 0;  // in bytes, what the listing tells
};

// The entries of "folder" but "." and "..", in no particular order; false,
// with errno set, when it cannot be read.
bool list_folder(const std::string& folder, std::vector<FolderEntry>& entries);

// True for a character that separates path components: "/", on Windows "\"
// too.
bool is_path_separator(char c) noexcept;

// The separator Kadrum puts between a folder and a name it found there.
char path_separator() noexcept;

// "c" as names are compared: itself, on Windows its lower case (names there
// ignore case).
char32_t name_fold(char32_t c) noexcept;

}  // namespace kadrum
