// Picture dispatch: which reader reads what, and which failures are reported.
#include <filesystem>

#include "generation/ProceduresImages.h"
#include "platform/zentbox.h"
#include "tests/app/app_fixture.h"
#include "ui/Logs.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

class LoadPictureTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    StartProgram();
    folder_ = MakeFolder("load");
    WorkBitmap = &bitmap_;
  }
  void TearDown() override {
    WorkBitmap = nullptr;
    AppTest::TearDown();
  }
  TWorkBitmap bitmap_;
  std::string folder_;
};

TEST_F(LoadPictureTest, DispatchAndReporting) {
  WriteJpeg(folder_ + "PHOTO.JPG", 64, 48);
  WriteJpeg(folder_ + "photo.jfif", 64, 48);
  WriteJpeg(folder_ + "photo.jpe", 64, 48);
  WritePng(folder_ + "pic.png", 30, 20);
  WriteFile(folder_ + "bad.bmp", "BM damaged");
  WriteFile(folder_ + "bad.jpg", "\xFF\xD8 damaged");
  WriteFile(folder_ + "bad.gif", "GIF89a damaged");
  WriteFile(folder_ + "bad.png", "\x89PNG damaged");
  WriteFile(folder_ + "a.xyz", "whatever");
  WriteFile(folder_ + "noextension", "whatever");
  WriteFile(folder_ + "grey.pgm", "P2\n2 1\n255\n0 255\n");
  struct Case {
    const char* name;
    bool loads;
    int width;
    bool reported;
  } cases[] = {
      {"PHOTO.JPG", true, 64, false}, {"photo.jfif", true, 64, false},
      {"photo.jpe", true, 64, false}, {"pic.png", true, 30, false},
      {"grey.pgm", true, 2, false},   {"bad.bmp", false, 0, true},
      {"bad.jpg", false, 0, false},   {"bad.gif", false, 0, false},
      {"bad.png", false, 0, false},   {"a.xyz", false, 0, false},
      {"noextension", false, 0, false}, {"missing.jpg", false, 0, false},
  };
  for (const auto& c : cases) {
    const int errors = CounterValue(Form1->Label14);
    const int lines = LogForm->ERRORLOG->count();
    bitmap_ = TWorkBitmap{};
    EXPECT_EQ(LoadPicture(folder_ + c.name), c.loads) << c.name;
    if (c.loads) {
      EXPECT_EQ(bitmap_.Width(), c.width) << c.name;
      EXPECT_EQ(bitmap_.PixelFormat, 24) << c.name;
    }
    EXPECT_EQ(CounterValue(Form1->Label14), errors + (c.reported ? 1 : 0)) << c.name;
    EXPECT_EQ(LogForm->ERRORLOG->count(), lines + (c.reported ? 1 : 0)) << c.name;
  }
  const std::string line = LogForm->ERRORLOG->item(0)->text().toStdString();
  EXPECT_EQ(line.substr(line.size() - (folder_ + "bad.bmp").size()), folder_ + "bad.bmp");
}

TEST_F(LoadPictureTest, ExternalTypesGoThroughTheControl) {
  WriteFile(folder_ + "pic.pnm", "P3\n2 1\n255\n255 0 0 0 0 255\n");
  EXPECT_TRUE(LoadPicture(folder_ + "pic.pnm"));
  EXPECT_EQ(bitmap_.Width(), 2);
  EXPECT_FALSE(fs::exists(ExternalTempPath()));  // the temporary JPEG is gone
  // A file the control cannot convert: false, not reported.
  WriteFile(folder_ + "bad.ras", "damaged");
  EXPECT_FALSE(LoadPicture(folder_ + "bad.ras"));
  EXPECT_EQ(Form1->Label14->text(), "0");
  // The control is not installed: counted and logged.
  platform::TZentbox::SetInstalled(false);
  EXPECT_FALSE(LoadPicture(folder_ + "pic.pnm"));
  EXPECT_EQ(Form1->Label14->text(), "1");
  EXPECT_EQ(LogForm->ERRORLOG->count(), 1);
}

TEST_F(LoadPictureTest, ResizeBitmapSizes) {
  struct Case {
    int w, h, target;
    bool keep;
    int ew, eh;
  } cases[] = {{640, 480, 100, true, 100, 75}, {3000, 2000, 100, true, 100, 66},
               {1000, 300, 100, true, 100, 29}, {640, 480, 100, false, 100, 100},
               {50, 40, 100, false, 100, 100}};
  for (const auto& c : cases) {
    TWorkBitmap b;
    ASSERT_TRUE(b.Pixels.Allocate(c.w, c.h, 3, 90));
    ResizeBitmap(b, c.target, c.target, c.keep);
    EXPECT_EQ(b.Width(), c.ew) << c.w << "x" << c.h;
    EXPECT_EQ(b.Height(), c.eh) << c.w << "x" << c.h;
  }
  // Enlarged without the ratio: what lies beyond the old size stays white.
  TWorkBitmap small;
  ASSERT_TRUE(small.Pixels.Allocate(50, 40, 3, 0));
  ResizeBitmap(small, 100, 100, false);
  EXPECT_EQ(small.Pixels.Row(10)[10 * 3], 0);
  EXPECT_EQ(small.Pixels.Row(90)[90 * 3], 255);
  // A reduced decode gives the same sizes as a full one.
  WriteJpeg(folder_ + "big.jpg", 3000, 2000);
  TWorkBitmap full, reduced;
  reduced.ReduceToWidth = 100;
  WorkBitmap = &full;
  ASSERT_TRUE(LoadPicture(folder_ + "big.jpg"));
  WorkBitmap = &reduced;
  ASSERT_TRUE(LoadPicture(folder_ + "big.jpg"));
  EXPECT_LT(reduced.Pixels.width, full.Pixels.width);
  EXPECT_EQ(reduced.Width(), full.Width());
  ResizeBitmap(full, 100, 100, true);
  ResizeBitmap(reduced, 100, 100, true);
  EXPECT_EQ(reduced.Height(), full.Height());
  // A bitmap of height 0 has no ratio: the caller gets an error.
  TWorkBitmap empty;
  EXPECT_THROW(ResizeBitmap(empty, 100, 100, true), std::domain_error);
}

TEST(SupportedTypes, TableLookups) {
  EXPECT_EQ(SupportedFiles.size(), 52u);
  EXPECT_EQ(FindSupportedFile(".jpg"), 1);
  EXPECT_EQ(FindSupportedFile(".ras"), 52);
  EXPECT_EQ(FindSupportedFile(".JPG"), -1);  // case-sensitive
  EXPECT_EQ(FindSupportedFile(""), -1);
  EXPECT_TRUE(IsInternalType(".rpf"));
  EXPECT_FALSE(IsExternalType(".rpf"));
  EXPECT_TRUE(IsExternalType(".wpg"));
  EXPECT_FALSE(IsInternalType(".xyz"));
  EXPECT_FALSE(IsExternalType(".xyz"));
}
