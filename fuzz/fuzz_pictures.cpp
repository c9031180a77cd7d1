// One fuzz target for every picture reader. The input names its extension:
// ".tga\0<file bytes>"; an input without a NUL picks a format by its first
// byte. The reader runs through the registry exactly as the program runs it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <QGuiApplication>

#include "generation/formats/formats.h"

// Metafile text is drawn with Qt's fonts, which need a GUI application:
// create one, offscreen, before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (QCoreApplication::instance() == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_pictures";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives until the process ends
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
    format = FindFormat(ext, Kind::Internal);
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
