// GIF reader: GIFs written here with giflib, then read back, cut and garbled.
#include <gtest/gtest.h>

#include <gif_lib.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/formats/fixture_check.h"
#include "generation/formats/formats.h"

namespace {

using formats::Image;
using Bytes = std::vector<std::uint8_t>;

int WriteBytes(GifFileType* gif, const GifByteType* data, int size) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + size);
  return size;
}

// Colours 0 red, 1 green, 2 blue, 3 white.
ColorMapObject* FourColours(bool swapped = false) {
  GifColorType c[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  if (swapped) std::swap(c[0], c[2]);
  return GifMakeMapObject(4, c);
}

struct Frame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlace = false;
  bool localMap = false;
  int transparent = -1;
  std::vector<std::uint8_t> indices;  // width × height, rows top-down
};

Bytes WriteGif(int screenW, int screenH, const Frame& f) {
  Bytes out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, WriteBytes, &err);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = FourColours();
  EGifPutScreenDesc(gif, screenW, screenH, 8, 0, global);
  if (f.transparent >= 0) {
    GifByteType gce[4] = {1, 0, 0, static_cast<GifByteType>(f.transparent)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
  }
  ColorMapObject* local = f.localMap ? FourColours(true) : nullptr;
  EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, local);
  std::vector<int> order;
  if (f.interlace) {
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p)
      for (int y = start[p]; y < f.height; y += step[p]) order.push_back(y);
  } else {
    for (int y = 0; y < f.height; ++y) order.push_back(y);
  }
  for (int y : order) {
    std::vector<GifPixelType> line(f.indices.begin() + y * f.width, f.indices.begin() + (y + 1) * f.width);
    EGifPutLine(gif, line.data(), f.width);
  }
  EGifCloseFile(gif, &err);
  GifFreeMapObject(global);
  if (local != nullptr) GifFreeMapObject(local);
  return out;
}

bool Read(const Bytes& file, Image& out) {
  formats::Source src;
  src.path = "picture.gif";
  src.data = {file.data(), file.size()};
  return formats::ReadGif(src, out);
}

struct Pixel {
  int x, y;
  std::uint8_t r, g, b, a;
};

Frame Rows(int w, int h) {  // row y has colour y % 4
  Frame f;
  f.width = w;
  f.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) f.indices.push_back(static_cast<std::uint8_t>(y % 4));
  return f;
}

TEST(GifTest, ReadsFirstFrameOnTheScreen) {
  struct Case {
    const char* name;
    Bytes file;
    int width, height, channels;
    std::vector<Pixel> pixels;
  };
  Frame plain = Rows(3, 4);
  Frame interlaced = Rows(2, 10);
  interlaced.interlace = true;
  Frame local = Rows(2, 2);
  local.localMap = true;
  Frame transparent = Rows(2, 2);
  transparent.transparent = 1;
  Frame offset = Rows(2, 2);
  offset.left = 1;
  offset.top = 2;
  Frame tooBig = Rows(4, 4);
  tooBig.left = 2;
  tooBig.top = 1;

  // A frame reaching past the screen: write a large screen, then shrink it.
  Bytes clipped = WriteGif(6, 5, tooBig);
  clipped[6] = 4;  // screen width
  clipped[8] = 3;  // screen height

  const std::vector<Case> cases = {
      {"plain", WriteGif(3, 4, plain), 3, 4, 3, {{0, 0, 255, 0, 0, 255}, {2, 1, 0, 255, 0, 255}, {1, 3, 255, 255, 255, 255}}},
      {"interlaced rows come back in order", WriteGif(2, 10, interlaced), 2, 10, 3,
       {{0, 0, 255, 0, 0, 255}, {0, 1, 0, 255, 0, 255}, {0, 2, 0, 0, 255, 255}, {0, 3, 255, 255, 255, 255},
        {1, 5, 0, 255, 0, 255}, {1, 9, 0, 255, 0, 255}}},
      {"local colour map", WriteGif(2, 2, local), 2, 2, 3, {{0, 0, 0, 0, 255, 255}, {0, 1, 0, 255, 0, 255}}},
      {"transparent index", WriteGif(2, 2, transparent), 2, 2, 4, {{0, 0, 255, 0, 0, 255}, {1, 1, 0, 0, 0, 0}}},
      {"frame at an offset", WriteGif(4, 5, offset), 4, 5, 4,
       {{0, 0, 0, 0, 0, 0}, {1, 2, 255, 0, 0, 255}, {2, 3, 0, 255, 0, 255}, {3, 4, 0, 0, 0, 0}}},
      {"frame clipped to the screen", clipped, 4, 3, 4,
       {{1, 1, 0, 0, 0, 0}, {2, 1, 255, 0, 0, 255}, {3, 2, 0, 255, 0, 255}}},
  };
  for (const Case& c : cases) {
    Image img;
    ASSERT_TRUE(Read(c.file, img)) << c.name;
    ASSERT_EQ(img.width, c.width) << c.name;
    ASSERT_EQ(img.height, c.height) << c.name;
    ASSERT_EQ(img.channels, c.channels) << c.name;
    for (const Pixel& p : c.pixels) {
      const std::uint8_t* q = img.pixels.data() + (static_cast<std::size_t>(p.y) * img.width + p.x) * img.channels;
      const int a = img.channels == 4 ? q[3] : 255;
      EXPECT_EQ(a, p.a) << c.name << " at " << p.x << "," << p.y;
      if (a == 0) continue;
      EXPECT_EQ(q[0], p.r) << c.name << " at " << p.x << "," << p.y;
      EXPECT_EQ(q[1], p.g) << c.name << " at " << p.x << "," << p.y;
      EXPECT_EQ(q[2], p.b) << c.name << " at " << p.x << "," << p.y;
    }
  }
}

TEST(GifTest, RejectsDamagedFiles) {
  const Bytes good = WriteGif(8, 8, Rows(8, 8));
  struct Case {
    const char* fault;
    Bytes file;
  };
  std::vector<Case> cases = {
      {"empty", {}},
      {"signature only", {'G', 'I', 'F', '8', '9', 'a'}},
      {"not a GIF", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"screen descriptor but no image", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'}},
      {"image data cut in half", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2))},
  };
  for (const Case& c : cases) {
    Image img;
    EXPECT_FALSE(Read(c.file, img)) << c.fault;
  }
}

// Cut at every length and garble every byte: each read must end cleanly.
TEST(GifTest, CutAndGarbledInputsNeverCrash) {
  Frame f = Rows(5, 7);
  f.interlace = true;
  f.transparent = 2;
  f.localMap = true;
  const Bytes good = WriteGif(6, 6, f);
  for (std::size_t n = 0; n <= good.size(); ++n) {
    Image img;
    const bool ok = Read(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), img);
    if (ok) {
      EXPECT_EQ(img.width, 6);
    }
  }
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (std::uint8_t v : {0x00, 0xFF, 0x80}) {
      Bytes b = good;
      b[i] ^= v ? v : b[i];
      Image img;
      Read(b, img);
    }
  }
}

// Files written by other programs (ImageMagick), kept in tests/fixtures.
TEST(GifTestFixtures, ReadsFilesFromOtherWriters) {
  CheckFixtures("gif", formats::ReadGif,
      {
          {"interlaced.gif", 10, 9, {{1, 1, 223, 0, 32, 255}, {7, 6, 64, 0, 191, 255}}},
          {"transparent.gif", 10, 9, {{1, 1, 255, 0, 0, 255}, {7, 6, 0, 0, 0, 0}}},
      },
      {
          {"cut-in-data.gif", "file ends inside the first frame's data"},
          {"no-image.gif", "screen descriptor and nothing after it"},
      },
      0);
}

}  // namespace
