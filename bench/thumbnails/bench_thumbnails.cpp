// Makes 100-pixel-wide quality-50 progressive thumbnails of the JPEG files
// named on the command line with the thumbnail run's own functions, one
// picture at a time, and prints how many pictures per second it made.
//   bench_thumbnails OUTPUT_FOLDER FILE...
#include <chrono>
#include <cstdio>
#include <string>

#include "generation/ProceduresImages.h"
#include "generation/formats/jpeg.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER FILE...\n", argv[0]);
    return 2;
  }
  constexpr int kWidth = 100;
  constexpr int kQuality = 50;
  const std::string out = std::string(argv[1]) + "/";
  int made = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 2; i < argc; ++i) {
    const std::string path = argv[i];
    TWorkBitmap bitmap;
    bitmap.ReduceToWidth = kWidth;
    WorkBitmap = &bitmap;
    if (!LoadJpegPicture(path)) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      continue;
    }
    if (bitmap.Width() > kWidth) ResizeBitmap(bitmap, kWidth, kWidth, true);
    const std::string name = path.substr(path.rfind('/') + 1);
    if (formats::WriteJpegFile(bitmap.Pixels, kQuality, out + "Small" + name + ".jpg", nullptr)) {
      ++made;
    }
    WorkBitmap = nullptr;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d %.3f\n", made, seconds);
  return 0;
}
