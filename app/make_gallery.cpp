// Makes the thumbnails and pages of one folder with the program's own runs,
// its windows created offscreen with their default settings (and every
// picture type ticked). For scripts that check what a gallery looks like.
//   make_gallery FOLDER
#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "app/Startup.h"
#include "generation/Generation.h"
#include "platform/appdir.h"
#include "platform/dialogs.h"
#include "platform/widgets.h"
#include "settings/Options.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // A program folder of its own, so no settings of a real installation are touched.
  const auto home = std::filesystem::temp_directory_path() / "make_gallery";
  std::filesystem::create_directories(home);
  platform::SetProgramFolder(home.string());
  platform::SetMessageHandler([](const platform::MessageRequest&) { return platform::Answer::Ok; });
  if (!CreateApplicationWindows()) return 1;
  auto* types = OptionsForm->FileExtentionList;
  for (int i = 0; i < types->RowCount(); ++i) types->SetChecked(i, true);
  OptionsForm->DirTree1->SetSelectedPath(argv[1]);
  GenerateThumbnails();
  const int thumbnails = CounterValue(Form1->Label11);
  GenerateHtmlPages();
  std::printf("%d thumbnails, %d pages, %d errors\n", thumbnails, CounterValue(Form1->Label11),
              CounterValue(Form1->Label14));
  DestroyApplicationWindows();
  std::filesystem::remove_all(home);
  return 0;
}
