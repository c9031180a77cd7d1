// Windows metafile reader: files written by Inkscape and metafiles built
// record by record here (placeable and plain), compared with the expected
// picture by sampling pixels well inside filled areas (tolerance kTolerance
// per channel).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "generation/formats/formats.h"
#include "tests/formats/drawing_check.h"

namespace {

using formats::Image;

bool Read(const std::vector<std::uint8_t>& bytes, Image& out) {
  formats::Source src;
  src.path = "test.wmf";
  src.data = bytes;
  return formats::ReadWmf(src, out);
}

void Put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, static_cast<std::uint16_t>(x));
  Put16(v, static_cast<std::uint16_t>(x >> 16));
}

// A small WMF writer. Parameters are given in file order (WMF lists most
// of them in reverse: y before x, bottom-right before top-left).
class Wmf {
 public:
  // Placeable when unitsPerInch > 0 (bounding box 0,0 → w,h); plain otherwise.
  explicit Wmf(int unitsPerInch = 0, int w = 0, int h = 0) {
    if (unitsPerInch > 0) {
      Put32(data_, 0x9AC6CDD7);
      Put16(data_, 0);
      for (int v : {0, 0, w, h}) Put16(data_, static_cast<std::uint16_t>(v));
      Put16(data_, static_cast<std::uint16_t>(unitsPerInch));
      Put32(data_, 0);
      std::uint16_t sum = 0;
      for (std::size_t i = 0; i < 20; i += 2) sum ^= static_cast<std::uint16_t>(data_[i] | (data_[i + 1] << 8));
      Put16(data_, sum);
    }
    header_ = data_.size();
    for (int v : {1, 9, 0x0300}) Put16(data_, static_cast<std::uint16_t>(v));
    Put32(data_, 0);  // size in words, patched
    Put16(data_, 16);
    Put32(data_, 0);
    Put16(data_, 0);
  }
  Wmf& Rec(std::uint16_t function, std::initializer_list<int> words) {
    Put32(data_, static_cast<std::uint32_t>(3 + words.size()));
    Put16(data_, function);
    for (int w : words) Put16(data_, static_cast<std::uint16_t>(w));
    return *this;
  }
  Wmf& Raw(std::uint16_t function, const std::vector<std::uint8_t>& params) {
    Put32(data_, static_cast<std::uint32_t>(3 + params.size() / 2));
    Put16(data_, function);
    data_.insert(data_.end(), params.begin(), params.end());
    return *this;
  }
  Wmf& Window(int x, int y, int w, int h) { return Rec(0x020B, {y, x}).Rec(0x020C, {h, w}); }
  // CREATEBRUSHINDIRECT (solid): takes the lowest free slot.
  Wmf& Brush(std::uint32_t colorRef) {
    return Rec(0x02FC, {0, static_cast<int>(colorRef & 0xFFFF), static_cast<int>(colorRef >> 16), 0});
  }
  Wmf& NullPen() { return Rec(0x02FA, {5, 0, 0, 0, 0}); }
  Wmf& Select(int index) { return Rec(0x012D, {index}); }
  Wmf& Delete(int index) { return Rec(0x01F0, {index}); }
  Wmf& Rect(int l, int t, int r, int b) { return Rec(0x041B, {b, r, t, l}); }
  std::vector<std::uint8_t> Finish() {
    Rec(0, {});
    std::vector<std::uint8_t> out = data_;
    const std::uint32_t words = static_cast<std::uint32_t>((out.size() - header_) / 2);
    for (int i = 0; i < 4; ++i) out[header_ + 6 + i] = static_cast<std::uint8_t>(words >> (8 * i));
    return out;
  }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t header_ = 0;
};

constexpr std::uint32_t kRedRef = 0x0000FF, kGreenRef = 0x00FF00, kBlueRef = 0xFF0000;

// A packed 24-bit bottom-up DIB of w × h pixels in four quadrants: red
// top-left, green top-right, blue bottom-left, yellow bottom-right.
std::vector<std::uint8_t> QuadrantDib(int w, int h) {
  std::vector<std::uint8_t> d;
  for (std::uint32_t v : {40u, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)}) Put32(d, v);
  Put16(d, 1);
  Put16(d, 24);
  for (int i = 0; i < 6; ++i) Put32(d, 0);
  const int stride = (w * 3 + 3) & ~3;
  const std::size_t start = d.size();
  d.resize(start + static_cast<std::size_t>(stride) * h, 0);
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;
    for (int x = 0; x < w; ++x) {
      const bool left = x < w / 2, top = y < h / 2;
      const Rgb c = top ? (left ? kRed : kGreen) : (left ? kBlue : kYellow);
      std::uint8_t* p = d.data() + start + static_cast<std::size_t>(row) * stride + x * 3;
      p[0] = static_cast<std::uint8_t>(c.b);
      p[1] = static_cast<std::uint8_t>(c.g);
      p[2] = static_cast<std::uint8_t>(c.r);
    }
  }
  return d;
}

std::vector<std::uint8_t> Params(std::initializer_list<int> words, const std::vector<std::uint8_t>& dib) {
  std::vector<std::uint8_t> p;
  for (int w : words) Put16(p, static_cast<std::uint16_t>(w));
  p.insert(p.end(), dib.begin(), dib.end());
  return p;
}

// SRCCOPY as two words, low first.
constexpr int kRopLo = 0x0020, kRopHi = 0x00CC;

struct BitmapCase {
  const char* name;
  std::uint16_t function;
  std::vector<std::uint8_t> params;
};

// Every bitmap record draws the quadrant DIB into (20,20)-(60,60).
std::vector<BitmapCase> BitmapCases() {
  return {
      // rop, usage, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest
      {"StretchDib", 0x0F43, Params({kRopLo, kRopHi, 0, 2, 2, 0, 0, 40, 40, 20, 20}, QuadrantDib(2, 2))},
      // rop, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest
      {"DibStretchBlt", 0x0B41, Params({kRopLo, kRopHi, 2, 2, 0, 0, 40, 40, 20, 20}, QuadrantDib(2, 2))},
      // rop, ySrc, xSrc, height, width, yDest, xDest
      {"DibBitBlt", 0x0940, Params({kRopLo, kRopHi, 0, 0, 40, 40, 20, 20}, QuadrantDib(40, 40))},
      // usage, scans, first scan, ySrc, xSrc, height, width, yDest, xDest
      {"SetDibToDev", 0x0D33, Params({0, 40, 0, 0, 0, 40, 40, 20, 20}, QuadrantDib(40, 40))},
  };
}

class WmfBitmap : public ::testing::TestWithParam<std::size_t> {};

TEST_P(WmfBitmap, DrawsQuadrants) {
  const BitmapCase c = BitmapCases()[GetParam()];
  SCOPED_TRACE(c.name);
  Image img;
  ASSERT_TRUE(Read(Wmf().Window(0, 0, 100, 100).Raw(c.function, c.params).Finish(), img));
  EXPECT_EQ(img.width, 100);
  EXPECT_EQ(img.height, 100);
  EXPECT_TRUE(PixelIs(img, 30, 30, kRed));
  EXPECT_TRUE(PixelIs(img, 50, 30, kGreen));
  EXPECT_TRUE(PixelIs(img, 30, 50, kBlue));
  EXPECT_TRUE(PixelIs(img, 50, 50, kYellow));
  EXPECT_TRUE(PixelIs(img, 10, 10, kWhite));
  EXPECT_TRUE(PixelIs(img, 70, 70, kWhite));
}

INSTANTIATE_TEST_SUITE_P(Records, WmfBitmap, ::testing::Range<std::size_t>(0, 4),
                         [](const auto& p) { return std::string(BitmapCases()[p.param].name); });

TEST(Wmf, SetDibToDevWithFewerScans) {
  // 20 of the 40 scan lines of a bottom-up DIB: the bottom half (blue and
  // yellow) lands in the bottom half of the destination.
  std::vector<std::uint8_t> dib = QuadrantDib(40, 40);
  dib.resize(40 + 120 * 20);
  Image img;
  ASSERT_TRUE(Read(Wmf().Window(0, 0, 100, 100).Raw(0x0D33, Params({0, 20, 0, 0, 0, 40, 40, 20, 20}, dib)).Finish(), img));
  EXPECT_TRUE(PixelIs(img, 30, 30, kWhite));
  EXPECT_TRUE(PixelIs(img, 30, 50, kBlue));
  EXPECT_TRUE(PixelIs(img, 50, 50, kYellow));
}

struct Probe {
  int x, y;
  Rgb color;
};
struct BuiltCase {
  const char* name;
  std::vector<std::uint8_t> (*build)();
  int width, height;
  std::vector<Probe> probes;
};

std::vector<std::uint8_t> Placeable() {
  // 1440 units per inch: a 1440 × 720 box is 96 × 48 pixels; the window
  // set by the records maps onto it.
  return Wmf(1440, 1440, 720)
      .Window(0, 0, 1440, 720)
      .NullPen()
      .Brush(kRedRef)
      .Select(0)
      .Select(1)
      .Rect(0, 0, 720, 360)
      .Finish();
}
std::vector<std::uint8_t> PlacablePlayedIntoBox() {
  // Without window records the bounding box is the window.
  return Wmf(2880, 2880, 2880).NullPen().Brush(kBlueRef).Select(0).Select(1).Rect(1440, 1440, 2880, 2880).Finish();
}
std::vector<std::uint8_t> Plain() {
  // No placeable header: the window extent is the size.
  return Wmf().Window(0, 0, 80, 40).NullPen().Brush(kGreenRef).Select(0).Select(1).Rect(40, 0, 80, 40).Finish();
}
std::vector<std::uint8_t> FlippedWindow() {
  // A negative window height turns y upwards.
  return Wmf().Window(0, 100, 100, -100).NullPen().Brush(kRedRef).Select(0).Select(1).Rect(0, 0, 50, 50).Finish();
}
std::vector<std::uint8_t> LowestFreeSlot() {
  // Slots: 0 pen, 1 red, 2 blue; deleting 1 and creating green puts green
  // in slot 1.
  return Wmf()
      .Window(0, 0, 100, 100)
      .NullPen()
      .Brush(kRedRef)
      .Brush(kBlueRef)
      .Delete(1)
      .Brush(kGreenRef)
      .Select(0)
      .Select(1)
      .Rect(0, 0, 50, 100)
      .Select(2)
      .Rect(50, 0, 100, 100)
      .Finish();
}
std::vector<std::uint8_t> SaveRestore() {
  // The brush selected after SAVEDC is dropped by RESTOREDC(-1).
  return Wmf()
      .Window(0, 0, 100, 100)
      .NullPen()
      .Brush(kRedRef)
      .Brush(kBlueRef)
      .Select(0)
      .Select(1)
      .Rec(0x001E, {})
      .Select(2)
      .Rec(0x0127, {0xFFFF})
      .Rect(20, 20, 60, 60)
      .Finish();
}
std::vector<std::uint8_t> ClipRect() {
  return Wmf()
      .Window(0, 0, 100, 100)
      .NullPen()
      .Brush(kBlueRef)
      .Select(0)
      .Select(1)
      .Rec(0x0416, {60, 60, 20, 20})  // INTERSECTCLIPRECT bottom, right, top, left
      .Rect(0, 0, 100, 100)
      .Finish();
}
std::vector<std::uint8_t> EscapeIgnored() {
  // META_ESCAPE with SETABORTPROC (9) and garbage is never acted upon.
  return Wmf()
      .Window(0, 0, 100, 100)
      .Rec(0x0626, {9, 8, 0x4141, 0x4141, 0x4141, 0x4141})
      .NullPen()
      .Brush(kRedRef)
      .Select(0)
      .Select(1)
      .Rect(20, 20, 60, 60)
      .Finish();
}
std::vector<std::uint8_t> PolygonAndPolyPolygon() {
  Wmf w;
  w.Window(0, 0, 100, 100).NullPen().Brush(kRedRef).Brush(kBlueRef).Select(0).Select(1);
  w.Rec(0x0324, {4, 10, 10, 40, 10, 40, 40, 10, 40});
  w.Select(2);
  w.Rec(0x0538, {2, 4, 4, 60, 10, 90, 10, 90, 40, 60, 40, 60, 60, 90, 60, 90, 90, 60, 90});
  return w.Finish();
}
std::vector<std::uint8_t> BadCountsIgnored() {
  // Point counts past the record, a negative count, an object index far
  // beyond the table, and a record with an impossible size at the end.
  Wmf w;
  w.Window(0, 0, 100, 100).NullPen().Brush(kGreenRef).Select(0).Select(1).Rect(20, 20, 60, 60);
  w.Rec(0x0324, {30000, 1, 2});
  w.Rec(0x0325, {-5, 1, 2});
  w.Rec(0x0538, {65535, 1});
  w.Select(60000);
  w.Rec(0x0127, {0x8000});
  std::vector<std::uint8_t> out = w.Finish();
  // Replace EOF by a record claiming a million words.
  out.resize(out.size() - 6);
  for (int v : {0x40, 0x42, 0x0F, 0x00, 0x1B, 0x04}) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}
std::vector<std::uint8_t> Empty() { return Wmf().Window(0, 0, 30, 20).Finish(); }

const std::vector<BuiltCase>& BuiltCases() {
  static const std::vector<BuiltCase> cases = {
      {"Placeable", Placeable, 96, 48, {{20, 10, kRed}, {70, 30, kWhite}}},
      {"PlacablePlayedIntoBox", PlacablePlayedIntoBox, 96, 96, {{70, 70, kBlue}, {20, 20, kWhite}}},
      {"Plain", Plain, 80, 40, {{60, 20, kGreen}, {20, 20, kWhite}}},
      {"FlippedWindow", FlippedWindow, 100, 100, {{25, 75, kRed}, {25, 25, kWhite}}},
      {"LowestFreeSlot", LowestFreeSlot, 100, 100, {{25, 50, kGreen}, {75, 50, kBlue}}},
      {"SaveRestore", SaveRestore, 100, 100, {{40, 40, kRed}}},
      {"ClipRect", ClipRect, 100, 100, {{40, 40, kBlue}, {10, 10, kWhite}, {80, 80, kWhite}}},
      {"EscapeIgnored", EscapeIgnored, 100, 100, {{40, 40, kRed}, {80, 80, kWhite}}},
      {"PolygonAndPolyPolygon", PolygonAndPolyPolygon, 100, 100, {{25, 25, kRed}, {75, 25, kBlue}, {75, 75, kBlue}, {25, 75, kWhite}}},
      {"BadCountsIgnored", BadCountsIgnored, 100, 100, {{40, 40, kGreen}, {80, 80, kWhite}}},
      {"Empty", Empty, 30, 20, {{15, 10, kWhite}}},
  };
  return cases;
}

class WmfBuilt : public ::testing::TestWithParam<std::size_t> {};

TEST_P(WmfBuilt, MatchesProbes) {
  const BuiltCase& c = BuiltCases()[GetParam()];
  SCOPED_TRACE(c.name);
  Image img;
  ASSERT_TRUE(Read(c.build(), img));
  EXPECT_EQ(img.width, c.width);
  EXPECT_EQ(img.height, c.height);
  for (const Probe& p : c.probes) EXPECT_TRUE(PixelIs(img, p.x, p.y, p.color));
}

INSTANTIATE_TEST_SUITE_P(Cases, WmfBuilt, ::testing::Range<std::size_t>(0, 11),
                         [](const auto& p) { return std::string(BuiltCases()[p.param].name); });

TEST(Wmf, BuiltCaseTableIsCovered) { EXPECT_EQ(BuiltCases().size(), 11u); }

TEST(Wmf, TextDrawsDarkPixels) {
  Wmf w;
  w.Window(0, 0, 100, 100).Rec(0x0102, {1});  // TRANSPARENT
  // CREATEFONTINDIRECT: height -40, bold, then an 8-byte face name.
  w.Rec(0x02FB, {-40, 0, 0, 0, 700, 0, 0, 0, 0x7241, 0x6169, 0x006C, 0});
  w.Select(0);
  w.Rec(0x0521, {2, 0x6948, 10, 10});  // TEXTOUT "Hi" at (10,10)
  Image img;
  ASSERT_TRUE(Read(w.Finish(), img));
  int dark = 0;
  for (std::size_t i = 0; i < img.pixels.size(); i += 3) dark += img.pixels[i] < 100;
  EXPECT_GT(dark, 50);
}

bool ReadFile(const std::string& path, Image& out) {
  std::vector<std::uint8_t> bytes;
  if (!formats::LoadFileBytes(path, bytes)) return false;
  formats::Source src;
  src.path = path;
  src.data = bytes;
  return formats::ReadWmf(src, out);
}

TEST(Wmf, Fixtures) {
  struct FixtureCase {
    const char* file;
    bool ok;
    int width, height;
    std::vector<Probe> probes;
  };
  const std::vector<FixtureCase> cases = {
      // Inkscape: red rectangle, blue circle, green triangle.
      {"inkscape_shapes.wmf", true, 120, 80, {{30, 25, kRed}, {85, 25, kBlue}, {60, 65, {0, 170, 0}}, {5, 45, kWhite}}},
      // Inkscape: an embedded image (STRETCHDIB), a rotated square, a circle
      // (Inkscape's WMF output drops the clip path).
      {"inkscape_mixed.wmf", true, 100, 100, {{15, 25, kRed}, {35, 25, kBlue}, {75, 25, kGreen}, {60, 60, {255, 0, 255}}}},
      // Cut inside the header.
      {"broken/truncated.wmf", false, 0, 0, {}},
      // Plain WMF whose SETWINDOWEXT was removed: nothing gives a size.
      {"broken/no_window_extent.wmf", false, 0, 0, {}},
  };
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(c.file);
    Image img;
    const bool ok = ReadFile(std::string(GALVORA_FIXTURES) + "/wmf/" + c.file, img);
    ASSERT_EQ(ok, c.ok);
    if (!ok) continue;
    EXPECT_EQ(img.width, c.width);
    EXPECT_EQ(img.height, c.height);
    for (const Probe& p : c.probes) EXPECT_TRUE(PixelIs(img, p.x, p.y, p.color));
  }
}

TEST(Wmf, RegistryReadsWmfExtension) {
  const formats::Format* f = formats::FindFormat(".wmf", formats::Kind::Internal);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->read, &formats::ReadWmf);
}

}  // namespace
