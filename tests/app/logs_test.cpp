// The log window and its files.
#include <filesystem>

#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/Logs.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

TEST_F(AppTest, ErrorListIsSortedIgnoringCase) {
  StartProgram();
  for (const char* l : {"b line", "C line", "a line", "B line"}) InsertErrorSorted(l);
  const auto lines = ListLines(LogForm->ERRORLOG);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "a line");
  EXPECT_EQ(lines[3], "C line");
}

TEST_F(AppTest, EitherListClearsFromEitherPage) {
  StartProgram();
  InsertErrorSorted("error");
  LogForm->PageControl1->setCurrentWidget(LogForm->TabSheet7);
  LogForm->Effacerleslogs1->trigger();  // "Actions" > clear, shown on the error page
  EXPECT_EQ(LogForm->ACTIONLOG->count(), 0);
  EXPECT_EQ(LogForm->ERRORLOG->count(), 1);
  LogForm->Effacerleslogs2->trigger();
  EXPECT_EQ(LogForm->ERRORLOG->count(), 0);
}

TEST_F(AppTest, LogFilesRoundTripAndReadAnyLineEnd) {
  StartProgram();
  const std::string path = ProgramDir() + "Logs/test.LOG";
  ASSERT_TRUE(WriteLogFile(path, {"one", "", "three"}));
  EXPECT_EQ(ReadFile(path), "one\r\n\r\nthree\r\n");
  WriteFile(path, "a\rb\nc\r\n\r\nd");
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadLogFile(path, lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "", "d"}));
  ASSERT_TRUE(WriteLogFile(path, {}));
  EXPECT_EQ(ReadFile(path), "");
}

TEST_F(AppTest, SavedErrorLogIsRestoredSorted) {
  WriteFile(ProgramDir() + "Logs/Error.LOG", "zeta\r\nAlpha\r\nbeta\r\n");
  WriteFile(ProgramDir() + "Logs/Action.LOG", "kept out\r\n");
  StartProgram();
  EXPECT_EQ(ListLines(LogForm->ERRORLOG), (std::vector<std::string>{"Alpha", "beta", "zeta"}));
  // The action list's option is off by default: its file is not read.
  EXPECT_EQ(LogForm->ACTIONLOG->count(), 1);
}

TEST_F(AppTest, AnUnwritableLogIsReportedAndTheProgramCloses) {
  StartProgram();
  fs::remove_all(dir_ / "Logs");
  fs::create_directories(dir_ / "Logs" / "Error.LOG");  // a folder in the way
  messages_.clear();
  Form1->close();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].text.find("Error.LOG"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "Galvora.ini"));
}
