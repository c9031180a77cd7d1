// Enhanced metafile reader: files written by Inkscape and fig2dev, and
// metafiles built record by record here, compared with the expected picture
// by sampling pixels well inside filled areas (tolerance kTolerance per
// channel, so antialiased edges never matter).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "generation/formats/formats.h"
#include "tests/formats/drawing_check.h"

namespace {

using formats::Image;

bool Read(const std::vector<std::uint8_t>& bytes, Image& out, int reduceTo = 0) {
  formats::Source src;
  src.path = "test.emf";
  src.data = bytes;
  src.reduceToWidth = reduceTo;
  return formats::ReadEmf(src, out);
}

// ---- A small EMF writer ----

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void PutFloat(std::vector<std::uint8_t>& v, float f) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, 4);
  Put32(v, bits);
}

class Emf {
 public:
  // A picture of w × h pixels on a 96 dpi reference device.
  Emf(int w, int h) {
    Put32(data_, 1);
    Put32(data_, 88);
    for (int v : {0, 0, w - 1, h - 1}) Put32(data_, static_cast<std::uint32_t>(v));  // bounds
    for (int v : {0, 0, static_cast<int>(std::lround(w * 2540.0 / 96)), static_cast<int>(std::lround(h * 2540.0 / 96))}) {
      Put32(data_, static_cast<std::uint32_t>(v));  // frame, 0.01 mm
    }
    Put32(data_, 0x464D4520);
    Put32(data_, 0x10000);
    Put32(data_, 0);  // bytes, patched
    Put32(data_, 0);  // records, patched
    Put16(data_, 16);
    Put16(data_, 0);
    Put32(data_, 0);
    Put32(data_, 0);
    Put32(data_, 0);
    for (int v : {960, 960, 254, 254}) Put32(data_, static_cast<std::uint32_t>(v));  // 96 dpi
    records_ = 1;
  }

  // One record from 32-bit words.
  Emf& Rec(std::uint32_t type, std::initializer_list<std::int64_t> words) {
    Put32(data_, type);
    Put32(data_, static_cast<std::uint32_t>(8 + 4 * words.size()));
    for (std::int64_t w : words) Put32(data_, static_cast<std::uint32_t>(w));
    ++records_;
    return *this;
  }
  // One record from raw bytes after type and size.
  Emf& Raw(std::uint32_t type, const std::vector<std::uint8_t>& body) {
    Put32(data_, type);
    Put32(data_, static_cast<std::uint32_t>(8 + body.size()));
    data_.insert(data_.end(), body.begin(), body.end());
    ++records_;
    return *this;
  }
  Emf& Brush(std::uint32_t index, std::uint32_t colorRef) { return Rec(39, {index, 0, colorRef, 0}).Rec(37, {index}); }
  Emf& NullPen() { return Rec(37, {0x80000008}); }
  Emf& Rect(int l, int t, int r, int b) { return Rec(43, {l, t, r, b}); }

  std::vector<std::uint8_t> Finish() {
    Rec(14, {0, 16, 20});
    std::vector<std::uint8_t> out = data_;
    const std::uint32_t bytes = static_cast<std::uint32_t>(out.size());
    std::memcpy(out.data() + 48, &bytes, 4);
    std::memcpy(out.data() + 52, &records_, 4);
    return out;
  }

 private:
  std::vector<std::uint8_t> data_;
  std::uint32_t records_ = 0;
};

constexpr std::uint32_t kRedRef = 0x0000FF, kGreenRef = 0x00FF00, kBlueRef = 0xFF0000;

// A BITMAPINFOHEADER + 24-bit bottom-up bits of w × h pixels in four
// quadrants: red top-left, green top-right, blue bottom-left, yellow
// bottom-right.
struct Dib {
  std::vector<std::uint8_t> header, bits;
};
Dib QuadrantDib(int w, int h) {
  Dib d;
  for (std::uint32_t v : {40u, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)}) Put32(d.header, v);
  Put16(d.header, 1);
  Put16(d.header, 24);
  for (int i = 0; i < 6; ++i) Put32(d.header, 0);
  const int stride = (w * 3 + 3) & ~3;
  d.bits.assign(static_cast<std::size_t>(stride) * h, 0);
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;  // bottom-up
    for (int x = 0; x < w; ++x) {
      const bool left = x < w / 2, top = y < h / 2;
      const Rgb c = top ? (left ? kRed : kGreen) : (left ? kBlue : kYellow);
      std::uint8_t* p = d.bits.data() + static_cast<std::size_t>(row) * stride + x * 3;
      p[0] = static_cast<std::uint8_t>(c.b);
      p[1] = static_cast<std::uint8_t>(c.g);
      p[2] = static_cast<std::uint8_t>(c.r);
    }
  }
  return d;
}

// Body of a bitmap record: fixed fields (already laid out, offsets filled
// in here) followed by the DIB header and bits.
std::vector<std::uint8_t> BitmapBody(std::vector<std::int64_t> fields, int offBmiField, const Dib& dib) {
  const std::uint32_t fixed = static_cast<std::uint32_t>(8 + 4 * fields.size());
  fields[offBmiField] = fixed;
  fields[offBmiField + 1] = static_cast<std::int64_t>(dib.header.size());
  fields[offBmiField + 2] = fixed + dib.header.size();
  fields[offBmiField + 3] = static_cast<std::int64_t>(dib.bits.size());
  std::vector<std::uint8_t> body;
  for (std::int64_t f : fields) Put32(body, static_cast<std::uint32_t>(f));
  body.insert(body.end(), dib.header.begin(), dib.header.end());
  body.insert(body.end(), dib.bits.begin(), dib.bits.end());
  return body;
}

constexpr std::int64_t kSrcCopy = 0x00CC0020;

// Every bitmap record draws the quadrant DIB into (20,20)-(60,60).
struct BitmapCase {
  const char* name;
  std::uint32_t type;
  std::vector<std::uint8_t> (*body)();
};

std::vector<std::uint8_t> StretchDiBits() {
  // bounds, xDest, yDest, xSrc, ySrc, cxSrc, cySrc, offBmi, cbBmi, offBits,
  // cbBits, usage, rop, cxDest, cyDest
  return BitmapBody({0, 0, 0, 0, 20, 20, 0, 0, 2, 2, 0, 0, 0, 0, 0, kSrcCopy, 40, 40}, 10, QuadrantDib(2, 2));
}
std::vector<std::uint8_t> SetDiBitsToDevice() {
  // bounds, xDest, yDest, xSrc, ySrc, cxSrc, cySrc, offBmi, cbBmi, offBits,
  // cbBits, usage, first scan, scans
  return BitmapBody({0, 0, 0, 0, 20, 20, 0, 0, 40, 40, 0, 0, 0, 0, 0, 0, 40}, 10, QuadrantDib(40, 40));
}
std::vector<std::uint8_t> BltFields(bool stretch, int dibSize) {
  // bounds, xDest, yDest, cxDest, cyDest, rop, xSrc, ySrc, xform (6),
  // background, usage, offBmi, cbBmi, offBits, cbBits [, cxSrc, cySrc]
  std::vector<std::int64_t> f = {0, 0, 0, 0, 20, 20, 40, 40, kSrcCopy, 0, 0};
  for (float v : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f}) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    f.push_back(bits);
  }
  f.insert(f.end(), {0, 0, 0, 0, 0, 0});
  if (stretch) f.insert(f.end(), {dibSize, dibSize});
  return BitmapBody(f, 19, QuadrantDib(dibSize, dibSize));
}
std::vector<std::uint8_t> BitBlt() { return BltFields(false, 40); }
std::vector<std::uint8_t> StretchBlt() { return BltFields(true, 2); }

class EmfBitmap : public ::testing::TestWithParam<BitmapCase> {};

TEST_P(EmfBitmap, DrawsQuadrants) {
  const BitmapCase& c = GetParam();
  Emf emf(100, 100);
  emf.Raw(c.type, c.body());
  Image img;
  ASSERT_TRUE(Read(emf.Finish(), img));
  EXPECT_EQ(img.width, 100);
  EXPECT_EQ(img.height, 100);
  EXPECT_TRUE(PixelIs(img, 30, 30, kRed));
  EXPECT_TRUE(PixelIs(img, 50, 30, kGreen));
  EXPECT_TRUE(PixelIs(img, 30, 50, kBlue));
  EXPECT_TRUE(PixelIs(img, 50, 50, kYellow));
  EXPECT_TRUE(PixelIs(img, 10, 10, kWhite));
  EXPECT_TRUE(PixelIs(img, 70, 70, kWhite));
}

INSTANTIATE_TEST_SUITE_P(Records, EmfBitmap,
                         ::testing::Values(BitmapCase{"StretchDiBits", 81, StretchDiBits},
                                           BitmapCase{"BitBlt", 76, BitBlt},
                                           BitmapCase{"StretchBlt", 77, StretchBlt},
                                           BitmapCase{"SetDiBitsToDevice", 80, SetDiBitsToDevice}),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- Built metafiles: state, paths, clipping ----

struct Probe {
  int x, y;
  Rgb color;
};
struct BuiltCase {
  const char* name;
  std::vector<std::uint8_t> (*build)();
  std::vector<Probe> probes;
};

std::vector<std::uint8_t> Empty() { return Emf(64, 48).Finish(); }
std::vector<std::uint8_t> PlainRect() { return Emf(100, 100).NullPen().Brush(1, kRedRef).Rect(20, 20, 60, 60).Finish(); }
std::vector<std::uint8_t> WorldTransform() {
  // Scale 2, then move by (10,10): (0,0)-(20,20) lands on (10,10)-(50,50).
  Emf emf(100, 100);
  std::vector<std::uint8_t> xf;
  for (float v : {2.f, 0.f, 0.f, 2.f, 10.f, 10.f}) PutFloat(xf, v);
  return emf.NullPen().Brush(1, kBlueRef).Raw(35, xf).Rect(0, 0, 20, 20).Finish();
}
std::vector<std::uint8_t> SaveRestore() {
  // A transform set after SAVEDC is gone after RESTOREDC.
  Emf emf(100, 100);
  std::vector<std::uint8_t> xf;
  for (float v : {1.f, 0.f, 0.f, 1.f, 50.f, 50.f}) PutFloat(xf, v);
  Put32(xf, 4);  // MWT_SET
  return emf.NullPen().Brush(1, kGreenRef).Rec(33, {}).Raw(36, xf).Rec(34, {-1}).Rect(0, 0, 20, 20).Finish();
}
std::vector<std::uint8_t> NonFiniteTransform() {
  // A NaN matrix is refused; drawing goes on untransformed.
  Emf emf(100, 100);
  std::vector<std::uint8_t> xf;
  for (float v : {std::nanf(""), 0.f, 0.f, 1.f, 0.f, 0.f}) PutFloat(xf, v);
  return emf.NullPen().Brush(1, kRedRef).Raw(35, xf).Rect(20, 20, 60, 60).Finish();
}
std::vector<std::uint8_t> Path() {
  // BEGINPATH, a closed square from MOVETO/LINETO, ENDPATH, FILLPATH.
  return Emf(100, 100)
      .NullPen()
      .Brush(1, kBlueRef)
      .Rec(59, {})
      .Rec(27, {20, 20})
      .Rec(54, {60, 20})
      .Rec(54, {60, 60})
      .Rec(54, {20, 60})
      .Rec(61, {})
      .Rec(60, {})
      .Rec(62, {0, 0, 100, 100})
      .Finish();
}
std::vector<std::uint8_t> ClipRect() {
  // INTERSECTCLIPRECT limits a full-canvas fill.
  return Emf(100, 100).NullPen().Brush(1, kRedRef).Rec(30, {20, 20, 60, 60}).Rect(0, 0, 100, 100).Finish();
}
std::vector<std::uint8_t> ClipRegionReset() {
  // EXTSELECTCLIPRGN with RGN_COPY and no data removes the clip again.
  return Emf(100, 100)
      .NullPen()
      .Brush(1, kRedRef)
      .Rec(30, {20, 20, 60, 60})
      .Rec(75, {0, 5})
      .Rect(0, 0, 100, 100)
      .Finish();
}
std::vector<std::uint8_t> Anisotropic() {
  // Window 1000 × 1000 onto viewport 100 × 100.
  return Emf(100, 100)
      .Rec(17, {8})
      .Rec(9, {1000, 1000})
      .Rec(11, {100, 100})
      .NullPen()
      .Brush(1, kGreenRef)
      .Rect(200, 200, 600, 600)
      .Finish();
}
std::vector<std::uint8_t> StockBrush() { return Emf(100, 100).NullPen().Rec(37, {0x80000004}).Rect(20, 20, 60, 60).Finish(); }
std::vector<std::uint8_t> DeletedObjectKeepsSelection() {
  // Selecting a deleted index does nothing; the current brush stays.
  return Emf(100, 100).NullPen().Brush(1, kBlueRef).Rec(40, {1}).Rec(37, {1}).Rect(20, 20, 60, 60).Finish();
}
std::vector<std::uint8_t> PolygonAndPolyPolygon16() {
  Emf emf(100, 100);
  emf.NullPen().Brush(1, kRedRef);
  std::vector<std::uint8_t> poly;
  for (int i = 0; i < 4; ++i) Put32(poly, 0);  // bounds
  Put32(poly, 4);
  for (int v : {10, 10, 40, 10, 40, 40, 10, 40}) Put32(poly, static_cast<std::uint32_t>(v));
  emf.Raw(3, poly);
  emf.Brush(2, kBlueRef);
  std::vector<std::uint8_t> pp;
  for (int i = 0; i < 4; ++i) Put32(pp, 0);
  Put32(pp, 2);  // polygons
  Put32(pp, 8);  // points
  Put32(pp, 4);
  Put32(pp, 4);
  for (int v : {60, 10, 90, 10, 90, 40, 60, 40, 60, 60, 90, 60, 90, 90, 60, 90}) Put16(pp, static_cast<std::uint16_t>(v));
  return emf.Raw(91, pp).Finish();
}
std::vector<std::uint8_t> CommentsAndUnknownRecordsSkipped() {
  // An EMF+ comment holding a record that would fill everything, and an
  // unknown record type, are both passed over.
  Emf emf(100, 100);
  std::vector<std::uint8_t> comment;
  Put32(comment, 16);
  Put32(comment, 0x2B464D45);  // "EMF+"
  for (int i = 0; i < 2; ++i) Put32(comment, 0xFFFFFFFF);
  emf.Raw(70, comment).Rec(250, {1, 2, 3});
  return emf.NullPen().Brush(1, kRedRef).Rect(20, 20, 60, 60).Finish();
}
std::vector<std::uint8_t> ImpossibleSizeEndsPlayback() {
  // What was drawn before a record with an impossible size stays; nothing after.
  Emf emf(100, 100);
  emf.NullPen().Brush(1, kRedRef).Rect(20, 20, 60, 60);
  std::vector<std::uint8_t> out = emf.Brush(2, kBlueRef).Rec(43, {0, 0, 100, 100}).Finish();
  // Corrupt the size of the last rectangle (the record before EOF).
  const std::size_t eof = out.size() - 20;
  const std::size_t rect = eof - 24;
  const std::uint32_t huge = 0x7FFFFFF0;
  std::memcpy(out.data() + rect + 4, &huge, 4);
  return out;
}
std::vector<std::uint8_t> HugeCountsIgnored() {
  // Point counts far beyond the record, deep SAVEDC nesting, absurd text.
  Emf emf(100, 100);
  emf.Rec(3, {0, 0, 0, 0, 0x40000000, 1, 2});
  emf.Rec(8, {0, 0, 0, 0, 0x20000000, 0x20000000, 5});
  for (int i = 0; i < 3000; ++i) emf.Rec(33, {});
  emf.Rec(34, {-2000000000});
  emf.Rec(34, {1});
  // A font two billion units high and a string past the record end.
  emf.Rec(82, {5, -2000000000, 0, 0, 0, 400, 0});
  emf.Rec(37, {5});
  emf.Rec(84, {0, 0, 0, 0, 1, 0, 0, 10, 10, 0x7FFFFFFF, 76, 0, 0, 0, 0, 0, 0});
  return emf.NullPen().Brush(1, kGreenRef).Rect(20, 20, 60, 60).Finish();
}
std::vector<std::uint8_t> OpaqueTextBox() {
  // EXTTEXTOUTW with ETO_OPAQUE fills its rectangle with the background colour.
  Emf emf(100, 100);
  emf.Rec(25, {kBlueRef});
  std::vector<std::uint8_t> t;
  for (int i = 0; i < 4; ++i) Put32(t, 0);  // bounds
  Put32(t, 1);                              // GM_COMPATIBLE
  PutFloat(t, 1);
  PutFloat(t, 1);
  Put32(t, 20);  // reference point
  Put32(t, 80);
  Put32(t, 2);       // characters
  Put32(t, 8 + 68);  // string offset
  Put32(t, 2);       // ETO_OPAQUE
  for (int v : {10, 10, 90, 40}) Put32(t, static_cast<std::uint32_t>(v));
  Put32(t, 0);  // no spacing array
  Put16(t, 'H');
  Put16(t, 'i');
  return emf.Raw(84, t).Finish();
}

const std::vector<BuiltCase>& BuiltCases() {
  static const std::vector<BuiltCase> cases = {
      {"Empty", Empty, {{5, 5, kWhite}, {60, 40, kWhite}}},
      {"PlainRect", PlainRect, {{30, 30, kRed}, {10, 10, kWhite}, {70, 70, kWhite}}},
      {"WorldTransform", WorldTransform, {{15, 15, kBlue}, {45, 45, kBlue}, {5, 5, kWhite}, {55, 55, kWhite}}},
      {"SaveRestore", SaveRestore, {{10, 10, kGreen}, {60, 60, kWhite}}},
      {"NonFiniteTransform", NonFiniteTransform, {{30, 30, kRed}, {70, 70, kWhite}}},
      {"Path", Path, {{30, 30, kBlue}, {50, 50, kBlue}, {10, 10, kWhite}, {70, 70, kWhite}}},
      {"ClipRect", ClipRect, {{30, 30, kRed}, {10, 10, kWhite}, {70, 70, kWhite}}},
      {"ClipRegionReset", ClipRegionReset, {{10, 10, kRed}, {90, 90, kRed}}},
      {"Anisotropic", Anisotropic, {{30, 30, kGreen}, {10, 10, kWhite}, {70, 70, kWhite}}},
      {"StockBrush", StockBrush, {{30, 30, kBlack}, {70, 70, kWhite}}},
      {"DeletedObjectKeepsSelection", DeletedObjectKeepsSelection, {{30, 30, kBlue}}},
      {"PolygonAndPolyPolygon16", PolygonAndPolyPolygon16, {{25, 25, kRed}, {75, 25, kBlue}, {75, 75, kBlue}, {25, 75, kWhite}}},
      {"CommentsAndUnknownRecordsSkipped", CommentsAndUnknownRecordsSkipped, {{30, 30, kRed}, {80, 80, kWhite}}},
      {"ImpossibleSizeEndsPlayback", ImpossibleSizeEndsPlayback, {{30, 30, kRed}, {80, 80, kWhite}}},
      {"HugeCountsIgnored", HugeCountsIgnored, {{30, 30, kGreen}, {80, 80, kWhite}}},
      {"OpaqueTextBox", OpaqueTextBox, {{50, 15, kBlue}, {50, 60, kWhite}}},
  };
  return cases;
}

class EmfBuilt : public ::testing::TestWithParam<std::size_t> {};

TEST_P(EmfBuilt, MatchesProbes) {
  const BuiltCase& c = BuiltCases()[GetParam()];
  SCOPED_TRACE(c.name);
  Image img;
  ASSERT_TRUE(Read(c.build(), img));
  ASSERT_EQ(img.channels, 3);
  for (const Probe& p : c.probes) EXPECT_TRUE(PixelIs(img, p.x, p.y, p.color));
}

INSTANTIATE_TEST_SUITE_P(Cases, EmfBuilt, ::testing::Range<std::size_t>(0, 16),
                         [](const auto& p) { return std::string(BuiltCases()[p.param].name); });

TEST(Emf, BuiltCaseTableIsCovered) { EXPECT_EQ(BuiltCases().size(), 16u); }

TEST(Emf, EmptyMetafileHasItsFrameSize) {
  Image img;
  ASSERT_TRUE(Read(Empty(), img));
  EXPECT_EQ(img.width, 64);
  EXPECT_EQ(img.height, 48);
}

TEST(Emf, TextDrawsDarkPixels) {
  // "Hi" at 40 logical units, black on a transparent background.
  Emf emf(100, 100);
  emf.Rec(18, {1});  // TRANSPARENT
  emf.Rec(82, {5, -40, 0, 0, 0, 700, 0});
  emf.Rec(37, {5});
  std::vector<std::uint8_t> t;
  for (int i = 0; i < 4; ++i) Put32(t, 0);
  Put32(t, 1);
  PutFloat(t, 1);
  PutFloat(t, 1);
  Put32(t, 10);
  Put32(t, 10);
  Put32(t, 2);
  Put32(t, 8 + 68);
  Put32(t, 0);
  for (int i = 0; i < 4; ++i) Put32(t, 0);
  Put32(t, 0);
  Put16(t, 'H');
  Put16(t, 'i');
  emf.Raw(84, t);
  Image img;
  ASSERT_TRUE(Read(emf.Finish(), img));
  int dark = 0;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      if (img.pixels[(static_cast<std::size_t>(y) * img.width + x) * 3] < 100) ++dark;
    }
  }
  EXPECT_GT(dark, 50);
}

TEST(Emf, PaintingBudgetEndsEndlessFills) {
  // 120,000 full-canvas fills exceed the budget (a billion pixels here):
  // playback stops, so the red rectangle at the end is never drawn.
  Emf emf(100, 100);
  emf.NullPen().Brush(1, kBlueRef);
  for (int i = 0; i < 120000; ++i) emf.Rect(0, 0, 100, 100);
  emf.Brush(2, kRedRef).Rect(0, 0, 100, 100);
  Image img;
  ASSERT_TRUE(Read(emf.Finish(), img));
  EXPECT_TRUE(PixelIs(img, 50, 50, kBlue));
}

TEST(Emf, ReducedDecodeKeepsFullSize) {
  Image img;
  ASSERT_TRUE(Read(PlainRect(), img, 50));
  EXPECT_EQ(img.width, 50);
  EXPECT_EQ(img.height, 50);
  EXPECT_EQ(img.fullWidth, 100);
  EXPECT_EQ(img.fullHeight, 100);
  EXPECT_TRUE(PixelIs(img, 15, 15, kRed));
}

// ---- Fixtures ----

struct FixtureCase {
  const char* file;
  bool ok;
  int width, height;
  std::vector<Probe> probes;
};

bool ReadFile(const std::string& path, Image& out, int reduceTo = 0) {
  std::vector<std::uint8_t> bytes;
  if (!formats::LoadFileBytes(path, bytes)) return false;
  formats::Source src;
  src.path = path;
  src.data = bytes;
  src.reduceToWidth = reduceTo;
  return formats::ReadEmf(src, out);
}

TEST(Emf, HugeFrameIsCapped) {
  // broken/huge_frame.emf: a frame of four billion units. The picture is
  // capped at 8192 pixels a side (read here at thumbnail width, as the
  // thumbnail run does, so the test stays small).
  Image img;
  ASSERT_TRUE(ReadFile(std::string(GALVORA_FIXTURES) + "/emf/broken/huge_frame.emf", img, 100));
  EXPECT_EQ(img.width, 100);
  EXPECT_EQ(img.height, 100);
  EXPECT_EQ(img.fullWidth, 8192);
  EXPECT_EQ(img.fullHeight, 8192);
}

TEST(Emf, Fixtures) {
  const std::vector<FixtureCase> cases = {
      // Inkscape: red rectangle, blue circle, green triangle.
      {"inkscape_shapes.emf", true, 121, 83, {{30, 25, kRed}, {85, 25, kBlue}, {60, 65, {0, 170, 0}}, {5, 45, kWhite}}},
      // Inkscape: an embedded image (STRETCHDIBITS), a rotated square, a clipped circle.
      {"inkscape_mixed.emf", true, 102, 102, {{15, 25, kRed}, {35, 25, kBlue}, {75, 25, kGreen}, {60, 60, {255, 0, 255}}, {45, 60, kWhite}}},
      // fig2dev: a filled box and circle; the header carries its description
      // where newer headers have extension fields.
      {"fig2dev_box.emf", true, 298, 178, {{70, 50, kRed}, {245, 50, kBlue}, {150, 150, kWhite}}},
      // Header cut short.
      {"broken/truncated_header.emf", false, 0, 0, {}},
      // " EMF" signature overwritten.
      {"broken/bad_signature.emf", false, 0, 0, {}},
      // A record claims more bytes than the file has: drawing stops there.
      {"broken/record_size_past_end.emf", true, 121, 83, {{30, 25, kWhite}}},
      // Zero frame and bounds: no size at all.
      {"broken/empty_frame.emf", false, 0, 0, {}},
  };
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(c.file);
    Image img;
    const bool ok = ReadFile(std::string(GALVORA_FIXTURES) + "/emf/" + c.file, img);
    ASSERT_EQ(ok, c.ok);
    if (!ok) continue;
    EXPECT_EQ(img.width, c.width);
    EXPECT_EQ(img.height, c.height);
    for (const Probe& p : c.probes) EXPECT_TRUE(PixelIs(img, p.x, p.y, p.color));
  }
}

TEST(Emf, RegistryReadsEmfExtension) {
  const formats::Format* f = formats::FindFormat(".emf", formats::Kind::Internal);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->read, &formats::ReadEmf);
}

}  // namespace
