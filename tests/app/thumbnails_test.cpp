// The thumbnail run, end to end.
#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <QImage>
#include <csetjmp>
#include <cstdio>
#include <filesystem>

#include "generation/Collection.h"
#include "generation/Generation.h"
#include "generation/ProceduresImages.h"
#include "generation/formats/jpeg.h"
#include "platform/ticks.h"
#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/Logs.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

namespace {

struct JpegFacts {
  int width = 0, height = 0;
  bool progressive = false;
  std::vector<unsigned> luma;  // first quantization table, natural order
};

JpegFacts Inspect(const std::string& path) {
  JpegFacts f;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return f;
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_stdio_src(&d, file);
  jpeg_read_header(&d, TRUE);
  f.width = static_cast<int>(d.image_width);
  f.height = static_cast<int>(d.image_height);
  f.progressive = d.progressive_mode;
  if (d.quant_tbl_ptrs[0]) {
    for (int i = 0; i < 64; ++i) f.luma.push_back(d.quant_tbl_ptrs[0]->quantval[i]);
  }
  jpeg_destroy_decompress(&d);
  std::fclose(file);
  return f;
}

std::vector<unsigned> LibjpegLuma(int quality) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  c.in_color_space = JCS_RGB;
  c.input_components = 3;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  std::vector<unsigned> v;
  for (int i = 0; i < 64; ++i) v.push_back(c.quant_tbl_ptrs[0]->quantval[i]);
  jpeg_destroy_compress(&c);
  return v;
}

}  // namespace

class ThumbnailTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    InstallLanguages();
    StartProgram();
    folder_ = MakeFolder("photos");
    OptionsForm->DirTree1->SetSelectedPath(folder_);
  }
  std::string Thumb(const std::string& name) { return folder_ + "Smallprev/Small" + name + ".jpg"; }
  std::string folder_;
};

TEST_F(ThumbnailTest, SizesFollowTheWidthAndRatio) {
  WriteJpeg(folder_ + "wide.jpg", 640, 480);
  WriteJpeg(folder_ + "big.jpg", 3000, 2000);
  WriteJpeg(folder_ + "thin.jpg", 80, 600);
  WriteJpeg(folder_ + "strip.jpg", 1000, 300);
  GenerateThumbnails();
  struct Case {
    const char* name;
    int w, h;
  } cases[] = {{"wide.jpg", 100, 75}, {"big.jpg", 100, 66}, {"thin.jpg", 80, 600},
               {"strip.jpg", 100, 29}};
  for (const auto& c : cases) {
    const JpegFacts f = Inspect(Thumb(c.name));
    EXPECT_EQ(f.width, c.w) << c.name;
    EXPECT_EQ(f.height, c.h) << c.name;
    EXPECT_TRUE(f.progressive) << c.name;
    EXPECT_EQ(f.luma, LibjpegLuma(50)) << c.name;
  }
  EXPECT_EQ(Form1->Label10->text(), "4");
  EXPECT_EQ(Form1->Label11->text(), "4");
  EXPECT_EQ(Form1->Label8->text(), "4");
  EXPECT_EQ(LogForm->ACTIONLOG->count(), 1 + 4);
  EXPECT_NE(LogForm->ACTIONLOG->item(1)->text().toStdString().find(": File written: " + folder_),
            std::string::npos);
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(FileList->Count(), 0);
  EXPECT_TRUE(Form1->Gauge1->isHidden());
  EXPECT_TRUE(Form1->Animate2->isHidden());
}

TEST_F(ThumbnailTest, WithoutRatioASquareAndTheChosenQuality) {
  WriteJpeg(folder_ + "wide.jpg", 640, 480);
  OptionsForm->CheckBox2->setChecked(false);
  OptionsForm->SpinEdit1->SetValue(75);
  GenerateThumbnails();
  const JpegFacts f = Inspect(Thumb("wide.jpg"));
  EXPECT_EQ(f.width, 100);
  EXPECT_EQ(f.height, 100);
  EXPECT_EQ(f.luma, LibjpegLuma(75));
}

TEST_F(ThumbnailTest, ThumbnailsAreAveragedNotSampled) {
  // Alternate black and white columns: an averaging reduction gives grey.
  QImage stripes(400, 100, QImage::Format_RGB888);
  for (int x = 0; x < 400; ++x) {
    for (int y = 0; y < 100; ++y) stripes.setPixelColor(x, y, x % 2 ? Qt::white : Qt::black);
  }
  ASSERT_TRUE(stripes.save(QString::fromStdString(folder_ + "stripes.png")));
  OptionsForm->FileExtentionList->SetChecked(10, true);  // .png
  GenerateThumbnails();
  QImage thumb(QString::fromStdString(Thumb("stripes.png")));
  ASSERT_EQ(thumb.width(), 100);
  const int grey = qGray(thumb.pixel(50, 12));
  EXPECT_NEAR(grey, 128, 20);
}

TEST_F(ThumbnailTest, UpdateOnlyLeavesExistingThumbnails) {
  WriteJpeg(folder_ + "a.jpg", 300, 200);
  WriteJpeg(folder_ + "b.jpg", 300, 200);
  GenerateThumbnails();
  const auto before = fs::last_write_time(Thumb("a.jpg"));
  const int lines = LogForm->ACTIONLOG->count();
  Form1->RadioButton1->setChecked(true);
  GenerateThumbnails();
  EXPECT_EQ(Form1->Label11->text(), "0");
  EXPECT_EQ(Form1->Label8->text(), "2");
  EXPECT_EQ(LogForm->ACTIONLOG->count(), lines);
  EXPECT_EQ(fs::last_write_time(Thumb("a.jpg")), before);
  // Recreate all writes them again, each with its line.
  Form1->RadioButton2->setChecked(true);
  GenerateThumbnails();
  EXPECT_EQ(Form1->Label11->text(), "2");
  EXPECT_EQ(LogForm->ACTIONLOG->count(), lines + 2);
}

TEST_F(ThumbnailTest, ThumbnailFoldersAreSkippedByExactName) {
  WriteJpeg(folder_ + "a.jpg", 300, 200);
  GenerateThumbnails();
  WriteJpeg(folder_ + "smallprev/b.jpg", 300, 200);  // differs in case: a picture folder
  GenerateThumbnails();  // the thumbnail of a.jpg is collected again, and skipped
  EXPECT_FALSE(fs::exists(folder_ + "Smallprev/Smallprev"));
  EXPECT_TRUE(fs::exists(folder_ + "smallprev/Smallprev/Smallb.jpg.jpg"));
  EXPECT_EQ(Form1->Label10->text(), "3");
  EXPECT_EQ(Form1->Label11->text(), "2");
  EXPECT_EQ(Form1->Label8->text(), "2");  // the skipped entry does not count as handled
}

TEST_F(ThumbnailTest, SameNameDifferentTypeGetsTwoThumbnails) {
  WriteJpeg(folder_ + "beach.jpg", 300, 200);
  WritePng(folder_ + "beach.png", 300, 200);
  OptionsForm->FileExtentionList->SetChecked(10, true);  // .png
  GenerateThumbnails();
  EXPECT_TRUE(fs::exists(Thumb("beach.jpg")));
  EXPECT_TRUE(fs::exists(Thumb("beach.png")));
}

TEST_F(ThumbnailTest, EmptyFolderEndsAtOnce) {
  GenerateThumbnails();
  EXPECT_EQ(Form1->Label10->text(), "0");
  EXPECT_EQ(Form1->Label11->text(), "0");
  EXPECT_FALSE(IsBusy());
}

TEST_F(ThumbnailTest, CancelDuringAPictureFinishesIt) {
  for (int i = 0; i < 4; ++i) WriteJpeg(folder_ + "p" + std::to_string(i) + ".jpg", 300, 200);
  // The click arrives while the first picture is being made.
  platform::SetTickSource([] {
    if (WorkBitmap != nullptr) Form1->ButtonCancel->click();
    return 0u;
  });
  GenerateThumbnails();
  EXPECT_EQ(Form1->Label11->text(), "1");
  EXPECT_EQ(Form1->Label8->text(), "1");
  EXPECT_TRUE(fs::exists(Thumb("p0.jpg")));
  EXPECT_FALSE(IsBusy());
}

TEST_F(ThumbnailTest, CancelDuringTheCollectionHandlesNothing) {
  for (int i = 0; i < 3; ++i) WriteJpeg(folder_ + "p" + std::to_string(i) + ".jpg", 300, 200);
  platform::SetTickSource([] {
    if (FileList->Pending() > 0) Form1->ButtonCancel->click();
    return 0u;
  });
  GenerateThumbnails();
  EXPECT_EQ(Form1->Label10->text(), "3");
  EXPECT_EQ(Form1->Label8->text(), "0");
  EXPECT_EQ(Form1->Label11->text(), "0");
}

TEST_F(ThumbnailTest, AThumbnailThatCannotBeWrittenIsCountedAndTheRunGoesOn) {
  WriteJpeg(folder_ + "a.jpg", 300, 200);
  WriteJpeg(folder_ + "sub/b.jpg", 300, 200);
  WriteFile(folder_ + "Smallprev", "a file where the thumbnail folder should be");
  GenerateThumbnails();
  EXPECT_EQ(Form1->Label14->text(), "1");
  ASSERT_EQ(LogForm->ERRORLOG->count(), 1);
  EXPECT_NE(LogForm->ERRORLOG->item(0)->text().toStdString().find(folder_ + "a.jpg"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(folder_ + "sub/Smallprev/Smallb.jpg.jpg"));
  EXPECT_EQ(Form1->Label11->text(), "1");
  EXPECT_FALSE(IsBusy());
  // No half-written file is left beside the folder.
  int entries = 0;
  for (const auto& e : fs::directory_iterator(folder_)) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 3);
}

TEST_F(ThumbnailTest, DamagedBitmapsCountAcrossRunsDamagedJpegsDoNot) {
  WriteFile(folder_ + "bad.bmp", "BM not really a bitmap");
  WriteFile(folder_ + "bad.jpg", "\xFF\xD8\xFF garbage");
  OptionsForm->FileExtentionList->SetChecked(4, true);  // .bmp
  GenerateThumbnails();
  GenerateThumbnails();
  EXPECT_EQ(Form1->Label14->text(), "2");
  EXPECT_EQ(LogForm->ERRORLOG->count(), 2);
  EXPECT_EQ(Form1->Label11->text(), "0");
}

TEST_F(ThumbnailTest, StatisticsOfASinglePicture) {
  WriteJpeg(folder_ + "a.jpg", 300, 200);
  std::uint32_t now = 5000;
  platform::SetTickSource([&] { return now += 10; });
  Form1->Tick5->setText("7");
  GenerateThumbnails();
  EXPECT_NE(Form1->Tick1->text(), "0");
  EXPECT_NE(Form1->Tick4->text(), "0");
  EXPECT_EQ(Form1->Tick5->text(), "7");  // not updated after the last file
  // With the statistics off for the whole run only the start tick changes.
  Form1->CheckBox3->setChecked(false);
  Form1->Tick1->setText("x");
  const QString start = Form1->Tick4->text();
  GenerateThumbnails();
  EXPECT_EQ(Form1->Tick1->text(), "x");
  EXPECT_NE(Form1->Tick4->text(), start);
}

TEST_F(ThumbnailTest, PreviewShowsTheLastThumbnail) {
  WriteJpeg(folder_ + "a.jpg", 640, 480);
  Form1->CheckBox4->setChecked(true);
  GenerateThumbnails();
  EXPECT_EQ(Form1->Image1->pixmap().size(), QSize(100, 75));
}
