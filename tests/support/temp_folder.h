// A real folder under TMPDIR for file tests, removed with everything in it
// at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kadrum::testing {

// Writes "bytes" to the file "path", replacing what was there.
inline void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

class TempFolder {
 public:
  TempFolder() {
#ifdef _WIN32
    // No mkdtemp: a random name, made only when nothing has it yet. Forward
    // slashes, as the tests join names with "/".
    std::random_device random;
    for (int attempt = 0; path_.empty(); ++attempt) {
      const auto path = std::filesystem::temp_directory_path() /
                        ("kadrum-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(path)) path_ = path.generic_string();
      if (attempt > 100) throw std::runtime_error("no temporary folder");
    }
#else
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kadrum-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
#endif
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // The path of "name" inside the folder; nothing is created.
  std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

  // Writes "bytes" to the file "name" and returns its path.
  std::string write(std::string_view name, std::string_view bytes) const {
    const std::string path = file(name);
    write_file(path, bytes);
    return path;
  }

 private:
  std::string path_;
};

}  // namespace kadrum::testing
