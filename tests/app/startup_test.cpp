// Start-up, the close request during a run, and the closing steps.
#include <QTimer>
#include <filesystem>

#include "app/SplashSceen.h"
#include "app/Startup.h"
#include "generation/Generation.h"
#include "generation/ProceduresSysImgList.h"
#include "platform/appdir.h"
#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/About.h"
#include "ui/Logs.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

TEST_F(AppTest, SplashShowsVersionAndEveryStep) {
  ShowSplash();
  ASSERT_NE(Loader, nullptr);
  EXPECT_EQ(Loader->RI1->text(), "0.9");
  EXPECT_EQ(Loader->RI2->text(), "0");
  EXPECT_EQ(Loader->RI3->text().toStdString(),
            platform::ProgramFileVersion().substr(std::string("0.9.0.").size()));
  ASSERT_TRUE(CreateWindows());
  started_ = true;
  // Without any language file only the first two steps have texts.
  const std::vector<std::string> expected = {"Version Info...", "Loading INIs Files...", "...",
                                             "...", "...", "...", "...", "...", "..."};
  EXPECT_EQ(Loader->StepsShown, expected);
  EXPECT_EQ(Loader->ProgressBar3D->value(), Loader->ProgressBar3D->maximum());
  EXPECT_EQ(Loader->ProgressBar3D->maximum(), 9);
  ReleaseSplash();
  // The About window took its version texts from the splash.
  const std::string build = platform::ProgramFileVersion().substr(6);
  EXPECT_EQ(AboutForm->windowTitle().toStdString(),
            "Galvora [Version : 0.9 Revision: 0 Built: " + build + "]");
  EXPECT_EQ(AboutForm->LabelVersion->text().toStdString(), "Version : 0.9.0." + build);
  EXPECT_EQ(AboutForm->VersionHint(), "0.9");
  // Missing language file reported, folders created, start-up line written.
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].text.find("English.ini"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(dir_ / "Logs"));
  EXPECT_TRUE(fs::is_directory(dir_ / "Language"));
  ASSERT_EQ(LogForm->ACTIONLOG->count(), 1);
  EXPECT_TRUE(Form1->isVisible());
}

TEST_F(AppTest, StartupStepTextsComeFromTheLanguage) {
  InstallLanguages();
  ShowSplash();
  ASSERT_TRUE(CreateWindows());
  started_ = true;
  ASSERT_EQ(Loader->StepsShown.size(), 9u);
  EXPECT_EQ(Loader->StepsShown[0], "Version Info...");
  EXPECT_EQ(Loader->StepsShown[1], "Loading INIs Files...");
  EXPECT_NE(Loader->StepsShown[2], "...");
  ReleaseSplash();
  EXPECT_TRUE(messages_.empty());
}

TEST_F(AppTest, ClosingStepsRunInOrderAndReleaseTheImageListOnce) {
  StartProgram();
  const int frees = SystemImageListFrees;
  Form1->close();
  EXPECT_TRUE(TerminateRequested());
  // Closing line, then an empty line, are the last lines of the action log.
  const auto lines = ListLines(LogForm->ACTIONLOG);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.back(), "");
  EXPECT_TRUE(fs::exists(dir_ / "Galvora.ini"));
  EXPECT_TRUE(fs::exists(dir_ / "Logs" / "Error.LOG"));
  EXPECT_FALSE(fs::exists(dir_ / "Logs" / "Action.LOG"));
  EXPECT_EQ(SystemImageListFrees, frees + 1);
  // A second close runs the closing steps again but frees nothing twice.
  Form1->close();
  EXPECT_EQ(SystemImageListFrees, frees + 1);
  EXPECT_EQ(ListLines(LogForm->ACTIONLOG).size(), lines.size() + 2);
}

class CloseDuringRunTest : public AppTest {
 protected:
  void RunAndCloseMidway() {
    StartProgram();
    const std::string folder = MakeFolder("run");
    for (int i = 0; i < 6; ++i) WriteJpeg(folder + "p" + std::to_string(i) + ".jpg", 64, 48);
    OptionsForm->DirTree1->SetSelectedPath(folder);
    // The close arrives while the run processes its pending events.
    QTimer::singleShot(0, [] { Form1->close(); });
    GenerateThumbnails();
  }
};

TEST_F(CloseDuringRunTest, AnsweredOkKeepsTheWindowAndStopsTheRun) {
  answer_ = platform::Answer::Ok;
  RunAndCloseMidway();
  ASSERT_EQ(messages_.size(), 2u);  // the missing language, then the question
  EXPECT_EQ(messages_[1].text, "Abandonner l'action courante");
  EXPECT_EQ(messages_[1].buttons, platform::Buttons::OkCancel);
  EXPECT_FALSE(TerminateRequested());
  EXPECT_LT(CounterValue(Form1->Label11), 6);
  EXPECT_FALSE(IsBusy());
  EXPECT_FALSE(fs::exists(dir_ / "Galvora.ini"));
}

TEST_F(CloseDuringRunTest, AnsweredCancelClosesWhileTheRunFinishes) {
  answer_ = platform::Answer::Cancel;
  RunAndCloseMidway();
  EXPECT_TRUE(TerminateRequested());
  EXPECT_TRUE(fs::exists(dir_ / "Galvora.ini"));  // saved at once, during the run
  EXPECT_EQ(CounterValue(Form1->Label11), 6);     // the run went on to its end
  EXPECT_FALSE(IsBusy());
}

TEST_F(AppTest, ResetErasesInsteadOfSaving) {
  StartProgram();
  Form1->close();  // a first use leaves settings and an error log
  StopProgram();
  const std::string errorLog = ReadFile((dir_ / "Logs" / "Error.LOG").string());
  StartProgram();
  OptionsForm->SpinEdit1->SetValue(77);
  OptionsForm->BitBtn1->click();
  EXPECT_TRUE(ResetRequested);
  Form1->close();
  const std::string ini = ReadFile((dir_ / "Galvora.ini").string());
  EXPECT_NE(ini.find("[Language statut]"), std::string::npos);
  EXPECT_EQ(ini.find("[save pref geneneration]"), std::string::npos);
  EXPECT_EQ(ini.find("77"), std::string::npos);
  EXPECT_EQ(ReadFile((dir_ / "Logs" / "Error.LOG").string()), errorLog);
}

TEST_F(AppTest, SaveRefusedShowsTheErrorAndKeepsRunning) {
  StartProgram();
  // A folder where the settings file should be: the system refuses the write.
  fs::create_directories(dir_ / "Galvora.ini" / "x");
  messages_.clear();
  Form1->close();
  EXPECT_FALSE(TerminateRequested());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, "Unable to write to " + (dir_ / "Galvora.ini").string());
  EXPECT_EQ(messages_[0].icon, platform::Icon::Error);
  EXPECT_NE(SystemSmallImages, nullptr);  // the closing went no further
}
