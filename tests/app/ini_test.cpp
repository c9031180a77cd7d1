// The INI layer: Windows profile semantics, in-place writes, atomic saves.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/inifile.h"

namespace fs = std::filesystem;

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("galvora-ini-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "test.ini").string();
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  void Write(const std::string& s) { std::ofstream(path_, std::ios::binary) << s; }
  std::string Read() {
    std::ifstream in(path_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  fs::path dir_;
  std::string path_;
};

TEST_F(IniTest, ReadsLikeTheProfileFunctions) {
  Write("; comment\r\n[Save]\r\n  Key One  =  spaced value  \r\nquoted=\"  kept  \"\r\n"
        "empty=\r\nhalf=\"open\r\n[save]\r\nkey one=second section\r\n[Other]\r\nx=1");
  platform::IniFile ini(path_);
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"SAVE", "key one", "spaced value"},  // sections and keys without regard to case
      {"Save", "quoted", "  kept  "},       // one pair of quotes removed, blanks inside kept
      {"Save", "empty", ""},                // present and empty: not the default
      {"Save", "half", "\"open"},
      {"Save", "missing", "def"},
      {"Nowhere", "x", "def"},
      {"Other", "X", "1"},                  // last line without a line end
  };
  for (const auto& c : cases) EXPECT_EQ(ini.ReadString(c.section, c.key, "def"), c.expected) << c.key;
  EXPECT_EQ(platform::IniFile((dir_ / "none.ini").string()).ReadString("a", "b", "d"), "d");
}

TEST_F(IniTest, ValuesAreReadThroughTheLimit) {
  Write("[S]\nlong=" + std::string(5000, 'x') + "\n");
  EXPECT_EQ(platform::IniFile(path_).ReadString("S", "long", "").size(), 2047u);
}

TEST_F(IniTest, WritesInPlaceAndKeepsEveryOtherByte) {
  const std::string original = "; keep me\r\n[A]\r\nk1=old\r\nk2=2\r\n\r\n[B]\nb=1\n";
  Write(original);
  platform::IniFile ini(path_);
  ini.WriteString("a", "K1", "new");
  EXPECT_EQ(Read(), "; keep me\r\n[A]\r\nK1=new\r\nk2=2\r\n\r\n[B]\nb=1\n");
  ini.WriteString("A", "k3", "3");  // a new key goes after the section's last key
  EXPECT_EQ(Read(), "; keep me\r\n[A]\r\nK1=new\r\nk2=2\r\nk3=3\r\n\r\n[B]\nb=1\n");
  ini.WriteString("C", "c", "x");  // a new section goes at the end
  EXPECT_EQ(Read(), "; keep me\r\n[A]\r\nK1=new\r\nk2=2\r\nk3=3\r\n\r\n[B]\nb=1\n[C]\r\nc=x\r\n");
  ini.EraseSection("b");
  EXPECT_EQ(Read(), "; keep me\r\n[A]\r\nK1=new\r\nk2=2\r\nk3=3\r\n\r\n[C]\r\nc=x\r\n");
  ini.EraseSection("missing");
  EXPECT_EQ(ini.ReadString("C", "c", ""), "x");
}

TEST_F(IniTest, BytesOfAnyEncodingSurvive) {
  Write("[A]\r\nlatin=caf\xE9\r\n");  // Windows-1252
  platform::IniFile ini(path_);
  ini.WriteString("A", "utf8", "caf\xC3\xA9");
  EXPECT_EQ(Read(), "[A]\r\nlatin=caf\xE9\r\nutf8=caf\xC3\xA9\r\n");
  EXPECT_EQ(platform::ToUtf8(ini.ReadString("A", "latin", "")), "caf\xC3\xA9");
  EXPECT_EQ(platform::ToUtf8(ini.ReadString("A", "utf8", "")), "caf\xC3\xA9");
}

TEST_F(IniTest, RefusedWriteRaisesAndLeavesTheFileWhole) {
  if (geteuid() == 0) {
    // root writes everywhere; a folder that does not exist refuses all the same.
    platform::IniFile ini((dir_ / "no" / "such.ini").string());
    try {
      ini.WriteString("A", "k", "v");
      FAIL() << "no error";
    } catch (const platform::IniWriteError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir_ / "no" / "such.ini").string());
    }
    return;
  }
  Write("[A]\r\nk=old\r\n");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  platform::IniFile ini(path_);
  EXPECT_THROW(ini.WriteString("A", "k", "new"), platform::IniWriteError);
  EXPECT_EQ(Read(), "[A]\r\nk=old\r\n");
}

TEST_F(IniTest, SaveLeavesNoTemporaryFile) {
  platform::IniFile ini(path_);
  for (int i = 0; i < 20; ++i) ini.WriteString("S", "k" + std::to_string(i), std::to_string(i));
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir_)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
  EXPECT_EQ(ini.ReadSection("S").size(), 20u);
}
