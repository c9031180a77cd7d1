// The text, path and system helpers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "support/ProceduresChaine.h"

namespace {

struct SepCase {
  const char* fn;
  const char* sep;
  const char* text;
  int n;
  const char* expected;
};

std::string Apply(const SepCase& c) {
  const std::string f = c.fn;
  if (f == "After") return TextAfter(c.sep, c.text);
  if (f == "Before") return TextBefore(c.sep, c.text);
  if (f == "AfterNth") return TextAfterNth(c.sep, c.text, c.n);
  if (f == "Field") return NthField(c.sep, c.text, c.n);
  return std::to_string(CountOccurrences(c.sep, c.text));
}

TEST(TextHelpers, CutAtSeparators) {
  const SepCase cases[] = {
      {"Before", ".", "abc", 0, ""},          // no separator: empty, not the whole text
      {"After", ".", "abc", 0, ""},
      {"After", ".", "abc.", 0, ""},
      {"After", ".", "a.b.c", 0, "b.c"},
      {"Before", ".", "0.9.0.1817", 0, "0"},
      {"Before", "", "abc", 0, ""},           // an empty separator is never found
      {"Field", ".", "abc", 0, "abc"},
      {"Field", ".", "a..b", 1, ""},
      {"Field", ".", "a..b", 2, "b"},
      {"Field", ".", "a.b", 5, ""},
      {"Field", ".", "a.b", -1, "a"},
      {"Field", ".", "0.9.0.1817", 1, "9"},
      {"Field", ".", "0.9.0.1817", 2, "0"},
      {"Field", "", "a.b", 0, ""},
      {"AfterNth", ".", "a.b.c", 0, "a.b.c"},
      {"AfterNth", ".", "a.b.c", -3, "a.b.c"},
      {"AfterNth", ".", "a.b.c", 2, "c"},
      {"AfterNth", ".", "a.b.c", 3, ""},
      {"AfterNth", ".", "0.9.0.1817", 3, "1817"},
      {"AfterNth", "/", "/photos/Smallprev/", 2, "Smallprev/"},
      {"Count", "", "abc", 0, "0"},
      {"Count", "/", "/a/b.jpg", 0, "2"},
      {"Count", "aa", "aaaa", 0, "2"},
      {"Count", "aa", "aaa", 0, "1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Apply(c), c.expected) << c.fn << "('" << c.sep << "', '" << c.text << "', " << c.n << ")";
  }
}

TEST(TextHelpers, ColorToHtml) {
  EXPECT_EQ(ColorToHtml(0), "#000000");
  EXPECT_EQ(ColorToHtml(0xFF), "#FF0000");       // red lives in the low byte
  EXPECT_EQ(ColorToHtml(0xFF0000), "#0000FF");   // pure blue
  EXPECT_EQ(ColorToHtml(0xFFFFFF), "#FFFFFF");
  EXPECT_EQ(ColorToHtml(0x123456), "#563412");
  EXPECT_EQ(ColorToHtml(-1), "#FFFFFF");         // eight digits: built from the first six
}

TEST(SystemHelpers, FileSizeOf) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("galvora-size-" + std::to_string(getpid()));
  fs::create_directories(dir);
  EXPECT_EQ(FileSizeOf((dir / "missing.jpg").string()), 0);
  // A sparse file of 3 GiB reports its true size.
  const std::string big = (dir / "big.bin").string();
  const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 3LL << 30), 0);
  close(fd);
  EXPECT_EQ(FileSizeOf(big), 3LL << 30);
  EXPECT_EQ(FileSizeOf((dir / "BIG.BIN").string()), 3LL << 30);  // matched without regard to case
  fs::remove_all(dir);
}

TEST(SystemHelpers, TempDirectoryEndsWithSeparator) {
  const std::string t = TempDirectory();
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t.back(), '/');
}

TEST(SystemHelpers, WindowsVersionName) {
  using platform::OsVersionInfo;
  auto registry = [](std::string type) {
    return [type](platform::RegistryRoot, const std::string& key, const std::string& value) {
      EXPECT_EQ(key, "System\\CurrentControlSet\\Control\\ProductOptions");
      EXPECT_EQ(value, "ProductType");
      return type;
    };
  };
  struct Case {
    OsVersionInfo v;
    std::string productType;
    std::string expected;
  };
  const Case cases[] = {
      {{1, 4, 0, 0x04000000, ""}, "", "Windows 95"},
      {{1, 4, 0, 0x04000457, " B "}, "", "Windows 95 OSR2"},
      {{1, 4, 0, 0x04000458, "B"}, "", "Unknown Version"},  // wrong build
      {{1, 4, 10, 0x040A07CE, ""}, "", "Windows 98"},
      {{1, 4, 10, 0x040A08AE, "A"}, "", "Windows 98 SE"},
      {{1, 4, 10, 0x040A08AE, "a"}, "", "Unknown Version"},  // "a" is not "A": 98 with the SE build
      {{1, 4, 90, 0x045A0BB8, ""}, "", "Unknown Version"},
      {{2, 3, 51, 1057, "Service Pack 5"}, "WinNT", "Windows NT3 WorkStation Service Pack 5"},
      {{2, 4, 0, 1381, "Service Pack 6"}, "winnt", "Windows NT4 WorkStation Service Pack 6"},
      {{2, 5, 0, 2195, ""}, "ServerNT", "Windows 2000 Server "},
      {{2, 5, 0, 2195, ""}, "LanmanNT", "Windows 2000 AdvancedServer "},
      {{2, 5, 0, 2195, ""}, "", "Windows 2000 Unknown "},
      {{2, 5, 1, 2600, ""}, "WinNT", "Unknown Version"},
      {{3, 6, 1, 0, ""}, "", "Unknown Version"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsVersionName(c.v, registry(c.productType)), c.expected)
        << c.v.platformId << " " << c.v.major << "." << c.v.minor;
  }
  // This system: a platform outside the table and an empty registry.
  EXPECT_EQ(WindowsVersionName(), "Unknown Version");
}

TEST(SystemHelpers, ReadRegistryStringCutsAtZero) {
  auto reg = [](platform::RegistryRoot, const std::string&, const std::string&) {
    return std::string("WinNT\0junk", 10);
  };
  EXPECT_EQ(ReadRegistryString("k", "v", platform::RegistryRoot::LocalMachine, reg), "WinNT");
}

}  // namespace
