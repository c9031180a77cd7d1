#include "tests/formats/byte_builder.h"

using namespace bytes_test;
using formats::Image;
using formats::ReadCel;

namespace {

constexpr int kW = 5;
constexpr int kH = 3;

int Index(int x, int y) { return (x * 3 + y * 7) % 16; }
int Scale6(int v) { return (v << 2) | (v >> 4); }

Bytes AnimatorPicture(int depth = 8, int compression = 0) {
  Builder f;
  f.u16le(0x9119).u16le(kW).u16le(kH).u16le(0).u16le(0).u8(depth).u8(compression).u32le(kW * kH).zeros(16);
  for (int i = 0; i < 256; ++i) f.u8(i % 64).u8(63 - i % 64).u8(i / 8);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) f.u8(Index(x, y));
  }
  return f.b;
}

struct SubChunk {
  unsigned type;
  Bytes body;
};

Bytes Flc(const std::vector<SubChunk>& chunks, bool prefix = false) {
  Builder frame;
  for (const SubChunk& c : chunks) {
    frame.u32le(static_cast<std::uint32_t>(c.body.size() + 6)).u16le(c.type).raw(c.body);
  }
  Builder f;
  f.u32le(0).u16le(0xAF12).u16le(1).u16le(kW).u16le(kH).u16le(8).zeros(128 - 14);
  f.putU32le(80, 128);
  if (prefix) f.u32le(16).u16le(0xF100).u16le(0).zeros(8);  // a prefix chunk to skip
  f.u32le(static_cast<std::uint32_t>(frame.size() + 16)).u16le(0xF1FA).u16le(static_cast<unsigned>(chunks.size()));
  f.zeros(8).raw(frame.b);
  f.putU32le(0, static_cast<std::uint32_t>(f.size()));
  return f.b;
}

// COLOR_256 / COLOR_64: one packet covering the first 16 entries.
Bytes Colours(bool sixBit) {
  Builder b;
  b.u16le(2).u8(0).u8(8);
  for (int i = 0; i < 8; ++i) b.u8(sixBit ? i * 4 : i * 16).u8(sixBit ? 63 - i : 255 - i).u8(9);
  b.u8(0).u8(8);  // skip none, the next 8
  for (int i = 8; i < 16; ++i) b.u8(sixBit ? i * 4 : i * 16).u8(sixBit ? 63 - i : 255 - i).u8(9);
  return b.b;
}

std::array<int, 4> FlcColour(int i, bool sixBit) {
  if (sixBit) return {Scale6(i * 4), Scale6(63 - i), Scale6(9), 255};
  return {i * 16, 255 - i, 9, 255};
}

Bytes ByteRun() {
  Builder b;
  for (int y = 0; y < kH; ++y) {
    b.u8(2);
    // Copy the first two pixels, then the rest one by one as runs of one.
    b.u8(static_cast<std::uint8_t>(-2)).u8(Index(0, y)).u8(Index(1, y));
    for (int x = 2; x < kW; ++x) b.u8(1).u8(Index(x, y));
  }
  return b.b;
}

Bytes Copy() {
  Bytes b;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) b.push_back(static_cast<std::uint8_t>(Index(x, y)));
  }
  return b;
}

TEST(Cel, ReadsAnimatorPicture) {
  Image img;
  ASSERT_TRUE(Decode(ReadCel, AnimatorPicture(), img));
  ASSERT_EQ(img.width, kW);
  ASSERT_EQ(img.height, kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const int i = Index(x, y);
      ExpectNear(At(img, x, y), {Scale6(i % 64), Scale6(63 - i % 64), Scale6(i / 8), 255});
    }
  }
}

struct FlcCase {
  const char* what;
  std::vector<SubChunk> chunks;
  bool sixBit;
  bool black = false;
  bool prefix = false;
};

TEST(Cel, ReadsOneFrameFlc) {
  const FlcCase cases[] = {
      {"COLOR_256 + BYTE_RUN", {{4, Colours(false)}, {15, ByteRun()}}, false},
      {"COLOR_64 + FLI_COPY", {{11, Colours(true)}, {16, Copy()}}, true},
      {"prefix chunk, stamp, then the frame", {{18, Bytes(20, 1)}, {4, Colours(false)}, {16, Copy()}}, false, false, true},
      {"BLACK", {{4, Colours(false)}, {13, {}}}, false, true},
  };
  for (const FlcCase& c : cases) {
    SCOPED_TRACE(c.what);
    Image img;
    ASSERT_TRUE(Decode(ReadCel, Flc(c.chunks, c.prefix), img));
    ASSERT_EQ(img.width, kW);
    ASSERT_EQ(img.height, kH);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) ExpectNear(At(img, x, y), FlcColour(c.black ? 0 : Index(x, y), c.sixBit));
    }
  }
}

TEST(Cel, RefusesOtherFormatsAndBrokenFiles) {
  Image img;
  // Other formats that use .cel and .pic.
  Builder kiss;
  kiss.str("KiSS").u8(0x20).u8(8).u16le(0).u16le(kW).u16le(kH).zeros(20).raw(Copy());
  EXPECT_FALSE(Decode(ReadCel, kiss.b, img)) << "KISS cel";
  Builder pcPaint;
  pcPaint.u16le(0x1234).u16le(kW).u16le(kH).zeros(12).raw(Copy());
  EXPECT_FALSE(Decode(ReadCel, pcPaint.b, img)) << "PC Paint picture";
  Builder softimage;
  softimage.u32be(0x5380F634).zeros(100);
  EXPECT_FALSE(Decode(ReadCel, softimage.b, img)) << "Softimage picture";

  Bytes bad = AnimatorPicture();
  bad.pop_back();
  EXPECT_FALSE(Decode(ReadCel, bad, img)) << "picture one byte short";
  EXPECT_FALSE(Decode(ReadCel, AnimatorPicture(8, 1), img)) << "unknown compression";
  EXPECT_FALSE(Decode(ReadCel, Flc({{4, Colours(false)}}), img)) << "frame without pixels";
  Bytes run = ByteRun();
  run.resize(run.size() - 3);
  EXPECT_FALSE(Decode(ReadCel, Flc({{15, run}}), img)) << "BYTE_RUN cut short";
  Bytes copy = Copy();
  copy.pop_back();
  EXPECT_FALSE(Decode(ReadCel, Flc({{16, copy}}), img)) << "FLI_COPY cut short";

  const char* const broken[] = {
      "cel/broken/frame_size_past_end.cel",  // a frame chunk claiming more bytes than the file has
      "cel/broken/huge_black.pic",           // 20000 × 20000 BLACK frame in a few hundred bytes
  };
  for (const char* name : broken) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Decode(ReadCel, ReadFixture(name), img));
  }
}

}  // namespace
