// A thumbnail run over every picture type: each good fixture gets a
// thumbnail of the right size, the damaged ones none, and the run ends idle.
#include <filesystem>

#include "generation/Generation.h"
#include "generation/ProceduresImages.h"
#include "generation/formats/formats.h"
#include "generation/formats/jpeg.h"
#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

TEST_F(AppTest, ThumbnailRunOverEveryPictureType) {
  StartProgram();
  const std::string root = MakeFolder("types");
  const fs::path fixtures = GALVORA_FIXTURES;
  struct Entry {
    std::string picture;
    bool good;
  };
  std::vector<Entry> entries;
  for (const auto& dir : fs::directory_iterator(fixtures)) {
    if (!dir.is_directory() || dir.path().filename() == "pages") continue;
    for (const auto& f : fs::recursive_directory_iterator(dir.path())) {
      if (!f.is_regular_file()) continue;
      const std::string ext = formats::LowerExtension(f.path().string());
      if (FindSupportedFile(ext) < 0) continue;
      const bool good = f.path().parent_path().filename() != "broken";
      const std::string target = root + dir.path().filename().string() + (good ? "/" : "/broken/") +
                                 f.path().filename().string();
      fs::create_directories(fs::path(target).parent_path());
      fs::copy_file(f.path(), target);
      // A Dr. Halo picture keeps its palette beside it.
      for (const char* pal : {".PAL", ".pal"}) {
        const fs::path palette = fs::path(f.path()).replace_extension(pal);
        const fs::path copy = fs::path(target).replace_extension(pal);
        if (ext == ".cut" && fs::exists(palette) && !fs::exists(copy)) fs::copy_file(palette, copy);
      }
      entries.push_back({target, good});
    }
  }
  ASSERT_GT(entries.size(), 100u);
  auto* list = OptionsForm->FileExtentionList;
  for (int i = 0; i < list->RowCount(); ++i) list->SetChecked(i, true);
  OptionsForm->DirTree1->SetSelectedPath(root);
  GenerateThumbnails();
  EXPECT_FALSE(IsBusy());
  EXPECT_FALSE(fs::exists(ExternalTempPath()));

  int written = 0;
  for (const auto& e : entries) {
    const std::string folder = e.picture.substr(0, e.picture.rfind('/') + 1);
    const std::string thumb = folder + "Smallprev/Small" + e.picture.substr(folder.size()) + ".jpg";
    TWorkBitmap bitmap;
    WorkBitmap = &bitmap;
    const bool loads = LoadPicture(e.picture);
    WorkBitmap = nullptr;
    // Damaged files get no thumbnail, except the few a reader draws in part
    // (a metafile whose last record is cut short shows what came before it).
    if (e.good) {
      EXPECT_TRUE(loads) << e.picture;
    }
    if (!loads) {
      EXPECT_FALSE(fs::exists(thumb)) << e.picture;
      continue;
    }
    int w = 0, h = 0;
    ASSERT_TRUE(formats::ReadJpegSize(thumb, w, h)) << e.picture;
    const int expectedW = std::min(bitmap.Width(), 100);
    const int expectedH = bitmap.Width() > 100 ? RatioHeight(bitmap.Width(), bitmap.Height(), 100)
                                               : bitmap.Height();
    EXPECT_EQ(w, expectedW) << e.picture;
    EXPECT_EQ(h, expectedH) << e.picture;
    ++written;
  }
  EXPECT_EQ(CounterValue(Form1->Label11), written);
}
