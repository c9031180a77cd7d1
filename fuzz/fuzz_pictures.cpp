// One fuzz target for every picture reader. The input names its extension:
// ".tga\0<file bytes>"; an input without a NUL picks a format by its first
// byte. The reader runs through the registry exactly as the program runs it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "generation/formats/formats.h"

// Fontconfig keeps the font list Qt loads until the process ends; that is
// not a leak of any input.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// Metafile text is drawn with Qt's fonts, which need a GUI application:
// create one, offscreen, before the first input, and load every weight and
// slant once, so that the font caches filled then are not taken for leaks
// of an input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (QCoreApplication::instance() == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_pictures";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives until the process ends
    QImage canvas(16, 16, QImage::Format_RGB32);
    QPainter painter(&canvas);
    for (int weight = 100; weight <= 900; weight += 100) {
      for (bool italic : {false, true}) {
        QFont font(QStringLiteral("sans-serif"));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(12);
        font.setWeight(static_cast<QFont::Weight>(weight));
        font.setItalic(italic);
        painter.setFont(font);
        painter.drawText(0, 12, QStringLiteral("Ag"));
      }
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace formats;
  if (size == 0) return 0;
  const Format* format = nullptr;
  std::string ext;
  const void* nul = std::memchr(data, 0, size < 8 ? size : 8);
  if (nul != nullptr) {
    ext.assign(reinterpret_cast<const char*>(data),
               static_cast<const std::uint8_t*>(nul) - data);
    const std::size_t skip = ext.size() + 1;
    data += skip;
    size -= skip;
    // GIF and BMP files are read by the program itself, outside the registry.
    static const Format kGif{"GIF", {".gif"}, ReadGif, Kind::Internal};
    static const Format kBmp{"BMP", {".bmp"}, ReadBmp, Kind::Internal};
    format = ext == ".gif" ? &kGif : ext == ".bmp" ? &kBmp : FindFormat(ext, Kind::Internal);
    if (format == nullptr) format = FindFormat(ext, Kind::External);
  } else {
    const auto& all = Registry();
    format = &all[data[0] % all.size()];
    ext = std::string(format->extensions.front());
    ++data;
    --size;
  }
  if (format == nullptr) return 0;
  Source src;
  const std::string path = "fuzz-input" + ext;
  src.path = path;
  src.data = {data, size};
  Image out;
  ReadFlattened(*format, src, out);
  // A second pass asking for a reduced decode, as the thumbnail run does.
  src.reduceToWidth = 100;
  ReadFlattened(*format, src, out);
  return 0;
}
