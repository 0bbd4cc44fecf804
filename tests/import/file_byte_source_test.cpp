#include "import/file_byte_source.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "base/error.h"
#include "open_files.h"
#include "standard_input.h"
#include "support/temp_folder.h"
#include "support/message_of.h"

namespace kadrum {
namespace {
using testing::TempFolder;

std::string read_all(ByteSource& source) {
  std::string data;
  char buffer[7];
  while (std::size_t count = source.read(buffer, sizeof buffer))
    data.append(buffer, count);
  return data;
}

std::string open_message(const std::string& name) {
  return testing::message_of([&] { FileByteSource source(name); });
}

TEST(FileByteSource, ReadsAllBytesOfAnExistingFile) {
  TempFolder folder;
  const std::string bytes("a\r\nb\x1a\0c", 7);
  FileByteSource source(folder.write("data.txt", bytes));
  EXPECT_EQ(read_all(source), bytes);
  EXPECT_EQ(read_all(source), "");
}

struct OpenCase {
  const char* label;
  std::function<std::string(const TempFolder&)> name;
  std::function<std::string(const std::string&)> expected;
};

TEST(FileByteSource, OpenFailuresGiveTheirGermanMessages) {
  const auto invalid_name = [](const std::string& name) {
    return "Ungültiger Dateiname - " + name;
  };
  const auto fixed = [](std::string text) {
    return [text](const std::string&) { return text; };
  };
  const OpenCase cases[] = {
      {"missing file in existing folder",
       [](const TempFolder& f) { return f.file("missing.txt"); },
       fixed("Die angegebene Datei wurde nicht gefunden")},
      {"missing folder",
       [](const TempFolder& f) { return f.file("nofolder/data.txt"); },
       invalid_name},
      {"file used as folder",
       [](const TempFolder& f) { return f.write("plain.txt", "x") + "/data.txt"; },
       invalid_name},
      {"folder named as file",
       [](const TempFolder& f) { return f.path(); },
       fixed("Dateizugriff verweigert")},
      {"name component too long",
       [](const TempFolder& f) { return f.file(std::string(300, 'n')); },
       fixed("E/A-Fehler 36")},
      {"symbolic link loop",
       [](const TempFolder& f) {
         const std::string link = f.file("loop");
         std::filesystem::create_symlink(link, link);
         return link;
       },
       fixed("E/A-Fehler 40")},
  };
  for (const OpenCase& c : cases) {
    TempFolder folder;
    const std::string name = c.name(folder);
    EXPECT_EQ(open_message(name), c.expected(name)) << c.label;
  }
}

TEST(FileByteSource, MissingFileIsNeverCreated) {
  TempFolder folder;
  const std::string name = folder.file("missing.txt");
  open_message(name);
  EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(FileByteSource, UnreadableFileIsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  TempFolder folder;
  const std::string name = folder.write("locked.txt", "1\n");
  ::chmod(name.c_str(), 0);
  EXPECT_EQ(open_message(name), "Dateizugriff verweigert");
}

// Lowers the open-file limit to nothing for its lifetime.
class NoFreeDescriptors {
 public:
  NoFreeDescriptors() {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit none = saved_;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_NOFILE, &none);
  }
  ~NoFreeDescriptors() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

 private:
  rlimit saved_{};
};

TEST(FileByteSource, DescriptorShortageIsTooManyOpenFiles) {
  TempFolder folder;
  const std::string name = folder.write("data.txt", "1\n");
  // UBSan's type check needs a descriptor the first time it meets a class
  // (scripts/sanitize.sh): meet FileByteSource and Error before the limit.
  open_message(folder.path() + "/missing.txt");
  std::string message;
  {
    NoFreeDescriptors limit;
    message = open_message(name);
  }
  EXPECT_EQ(message, "Zu viele geöffnete Dateien");
}

TEST(FileByteSource, FileIsClosedWhenDoneAndWhenRefused) {
  TempFolder folder;
  const std::string name = folder.write("data.txt", "1\n");
  const int before = open_descriptor_count();
  {
    FileByteSource source(name);
    EXPECT_EQ(open_descriptor_count(), before + 1);
  }
  EXPECT_EQ(open_descriptor_count(), before);
  open_message(folder.path());
  EXPECT_EQ(open_descriptor_count(), before);
}

TEST(FileByteSource, EmptyNameReadsStandardInputAndLeavesItOpen) {
  Pipe pipe;
  pipe.write("1 2\n3 4");
  pipe.close_writer();
  StandardInputSwap swap(pipe.reader());
  {
    FileByteSource source("");
    EXPECT_EQ(read_all(source), "1 2\n3 4");
  }
  EXPECT_NE(::fcntl(0, F_GETFD), -1);
}

std::string stdin_read_message() {
  return testing::message_of([] {
    FileByteSource source("");
    read_all(source);
  });
}

TEST(FileByteSource, ReadFailuresGiveTheirGermanMessages) {
  TempFolder folder;
  {
    const int dir = ::open(folder.path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(dir, 0);
    StandardInputSwap swap(dir);
    ::close(dir);
    EXPECT_EQ(stdin_read_message(), "Dateizugriff verweigert");
  }
  {
    StandardInputSwap swap(-1);
    EXPECT_EQ(stdin_read_message(), "E/A-Fehler 9");
  }
}

}  // namespace
}  // namespace kadrum
