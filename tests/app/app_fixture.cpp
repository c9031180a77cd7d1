#include "tests/app/app_fixture.h"

#include <QApplication>
#include <QImage>
#include <fstream>
#include <iterator>
#include <random>

#include "app/Startup.h"
#include "generation/formats/jpeg.h"
#include "i18n/Languages.h"
#include "platform/appdir.h"
#include "platform/shell.h"
#include "platform/ticks.h"
#include "platform/widgets.h"
#include "platform/zentbox.h"
#include "settings/Options.h"
#include "ui/Procedures.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

void AppTest::SetUpTestSuite() {
  if (QApplication::instance() == nullptr) {
    static int argc = 1;
    static char name[] = "galvora-tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    platform::SetupLook();
  }
}

void AppTest::SetUp() {
  std::random_device rd;
  dir_ = fs::temp_directory_path() / ("galvora-test-" + std::to_string(rd()));
  fs::create_directories(dir_);
  platform::SetProgramFolder(dir_.string());
  platform::SetMessageHandler([this](const platform::MessageRequest& r) {
    messages_.push_back(r);
    return answer_;
  });
  platform::SetColorHandler([this](std::uint32_t) { return colorAnswer_; });
  platform::SetShellOpenHandler([this](const std::string& t) { opened_.push_back(t); });
  platform::SetScreenSize({1024, 768});
  platform::TZentbox::SetInstalled(true);
  ResetTextTable();
  AbortRequested = false;
  ResetRequested = false;
}

void AppTest::TearDown() {
  if (started_) DestroyApplicationWindows();
  started_ = false;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  platform::SetMessageHandler({});
  platform::SetColorHandler({});
  platform::SetShellOpenHandler({});
  platform::SetTickSource({});
  platform::SetScreenSize({});
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
  std::error_code ec;
  fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(dir_, ec);
}

void AppTest::InstallLanguages() {
  fs::create_directories(dir_ / "Language");
  for (const char* f : {"English.ini", "French.ini"}) {
    fs::copy_file(fs::path(GALVORA_SOURCE_DIR) / "Language" / f, dir_ / "Language" / f,
                  fs::copy_options::overwrite_existing);
  }
}

void AppTest::StartProgram() {
  ASSERT_TRUE(CreateApplicationWindows());
  started_ = true;
}

void AppTest::StopProgram() {
  Form1->close();
  DestroyApplicationWindows();
  started_ = false;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::string AppTest::MakeFolder(const std::string& relative) {
  const fs::path p = dir_ / "pictures" / relative;
  fs::create_directories(p);
  std::string s = p.string();
  if (s.back() != '/') s += '/';
  return s;
}

std::string AppTest::ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void AppTest::WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

namespace {
formats::Image Gradient(int w, int h) {
  formats::Image img;
  img.Allocate(w, h, 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      img.Set(x, y, static_cast<std::uint8_t>(x * 255 / std::max(1, w - 1)),
              static_cast<std::uint8_t>(y * 255 / std::max(1, h - 1)), 128);
    }
  }
  return img;
}
}  // namespace

void AppTest::WriteJpeg(const std::string& path, int w, int h, int quality) {
  fs::create_directories(fs::path(path).parent_path());
  std::string error;
  ASSERT_TRUE(formats::WriteJpegFile(Gradient(w, h), quality, path, &error)) << error;
}

void AppTest::WritePng(const std::string& path, int w, int h) {
  fs::create_directories(fs::path(path).parent_path());
  const formats::Image g = Gradient(w, h);
  QImage img(g.pixels.data(), w, h, static_cast<qsizetype>(g.Stride()), QImage::Format_RGB888);
  ASSERT_TRUE(img.save(QString::fromStdString(path), "PNG"));
}
