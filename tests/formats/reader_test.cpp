// The shared pieces every legacy reader stands on: the bounded reader, the
// size checks, PackBits, bit unpacking, palettes and scaling, row flips.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "generation/formats/image.h"
#include "generation/formats/reader.h"

using namespace formats;

namespace {

TEST(Reader, ReadsBothByteOrders) {
  const std::vector<std::uint8_t> d = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  Reader r(d);
  EXPECT_EQ(r.u8(), 1);
  EXPECT_EQ(r.u16le(), 0x0302);
  EXPECT_EQ(r.u16be(), 0x0405);
  EXPECT_EQ(r.u32le(), 0x09080706u);
  EXPECT_EQ(r.remaining(), 3u);
  EXPECT_EQ(r.u32be(), 0u);  // only 3 left: fails
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(), 0);  // stays failed
}

TEST(Reader, SeekSkipMatchAndBytes) {
  const std::vector<std::uint8_t> d = {'A', 'B', 'C', 0xFF, 0xFE};
  Reader r(d);
  EXPECT_FALSE(r.match("AC"));
  EXPECT_EQ(r.pos(), 0u);
  EXPECT_TRUE(r.match("AB"));
  EXPECT_EQ(r.i16be(), static_cast<std::int16_t>(0x43FF));
  EXPECT_TRUE(r.seek(5));
  EXPECT_TRUE(r.has(0));
  EXPECT_FALSE(r.has(1));
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.seek(1));
  EXPECT_EQ(r.bytes(4).size(), 4u);
  EXPECT_TRUE(r.bytes(1).empty());
  EXPECT_FALSE(r.ok());
  Reader s(d);
  EXPECT_FALSE(s.skip(6));
  Reader t(d);
  EXPECT_FALSE(t.seek(6));
}

TEST(Reader, HoldsChecksWithoutOverflow) {
  const std::vector<std::uint8_t> d(100);
  Reader r(d);
  r.skip(10);
  EXPECT_TRUE(Holds(r, 90));
  EXPECT_TRUE(Holds(r, 30, 3));
  EXPECT_FALSE(Holds(r, 31, 3));
  EXPECT_FALSE(Holds(r, std::uint64_t{1} << 62, 8));  // the product would wrap
  EXPECT_TRUE(Holds(r, 5, 0));
  r.skip(1000);  // a failed reader holds nothing
  EXPECT_FALSE(Holds(r, 0));
}

TEST(Reader, PackBits) {
  // Literal of 3, run of 4 × 0xAA, no-op 128, literal of 1.
  const std::vector<std::uint8_t> d = {2, 1, 2, 3, 0xFD, 0xAA, 0x80, 0, 9};
  Reader r(d);
  std::vector<std::uint8_t> out(8);
  ASSERT_TRUE(UnpackPackBits(r, out.data(), out.size()));
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3, 0xAA, 0xAA, 0xAA, 0xAA, 9}));
  EXPECT_EQ(r.remaining(), 0u);

  // A run overshooting the wanted size is cut; running out of data fails.
  const std::vector<std::uint8_t> run = {0x81, 7};
  Reader r2(run);
  std::vector<std::uint8_t> few(5);
  ASSERT_TRUE(UnpackPackBits(r2, few.data(), few.size()));
  EXPECT_EQ(few, std::vector<std::uint8_t>(5, 7));
  Reader r3(run);
  std::vector<std::uint8_t> many(200);
  EXPECT_FALSE(UnpackPackBits(r3, many.data(), many.size()));
  const std::vector<std::uint8_t> cut = {5, 1, 2};
  Reader r4(cut);
  EXPECT_FALSE(UnpackPackBits(r4, many.data(), 6));
}

TEST(Reader, UnpackBitsAndRowBytes) {
  const std::uint8_t src[] = {0b10110010, 0b01000000};
  std::uint8_t out[10] = {};
  UnpackBits(src, 1, 10, out);
  EXPECT_EQ((std::vector<std::uint8_t>(out, out + 10)), (std::vector<std::uint8_t>{1, 0, 1, 1, 0, 0, 1, 0, 0, 1}));
  UnpackBits(src, 2, 5, out);
  EXPECT_EQ((std::vector<std::uint8_t>(out, out + 5)), (std::vector<std::uint8_t>{2, 3, 0, 2, 1}));
  UnpackBits(src, 4, 3, out);
  EXPECT_EQ((std::vector<std::uint8_t>(out, out + 3)), (std::vector<std::uint8_t>{11, 2, 4}));
  UnpackBits(src, 8, 2, out);
  EXPECT_EQ(out[1], 0b01000000);

  EXPECT_EQ(RowBytes(7, 1), 1u);
  EXPECT_EQ(RowBytes(7, 1, 2), 2u);
  EXPECT_EQ(RowBytes(9, 1, 2), 2u);
  EXPECT_EQ(RowBytes(5, 24, 4), 16u);
  EXPECT_EQ(RowBytes(-1, 8), 0u);
  EXPECT_EQ(RowBytes(std::int64_t{1} << 40, 8), 0u);
}

TEST(Reader, PalettesAndScaling) {
  const Palette grey = GreyPalette(4);
  EXPECT_EQ(grey[0].r, 0);
  EXPECT_EQ(grey[1].g, 85);
  EXPECT_EQ(grey[3].b, 255);
  const Palette ega = EgaPalette();
  EXPECT_EQ(ega[6].r, 170);
  EXPECT_EQ(ega[6].g, 85);
  EXPECT_EQ(ega[15].b, 255);

  EXPECT_EQ(Scale4(15), 255);
  EXPECT_EQ(Scale4(8), 136);
  EXPECT_EQ(Scale5(31), 255);
  EXPECT_EQ(Scale5(16), 132);
  EXPECT_EQ(Scale5(0), 0);
  EXPECT_EQ(Scale6(63), 255);
  EXPECT_EQ(Scale6(32), 130);
  EXPECT_EQ(ScaleToByte(500, 1000), 128);
  EXPECT_EQ(ScaleToByte(1000, 1000), 255);
  EXPECT_EQ(ScaleToByte(2000, 1000), 255);
  EXPECT_EQ(ScaleToByte(1, 0), 0);
  EXPECT_EQ(ScaleToByte(0x8000, 65535), 128);

  Palette pal{};
  pal[2] = {10, 20, 30};
  const std::uint8_t idx[] = {2, 0};
  std::uint8_t rgb[6], rgba[8];
  PaletteToRgb(idx, 2, pal, rgb);
  EXPECT_EQ((std::vector<std::uint8_t>(rgb, rgb + 6)), (std::vector<std::uint8_t>{10, 20, 30, 0, 0, 0}));
  PaletteToRgb(idx, 2, pal, rgba, 4);
  EXPECT_EQ((std::vector<std::uint8_t>(rgba, rgba + 8)), (std::vector<std::uint8_t>{10, 20, 30, 255, 0, 0, 0, 255}));
}

TEST(Image, LimitsAndFlips) {
  EXPECT_FALSE(DimensionsOk(0, 5));
  EXPECT_FALSE(DimensionsOk(5, -1));
  EXPECT_FALSE(DimensionsOk(1 << 20, 1 << 20));
  EXPECT_TRUE(DimensionsOk(100, 100));
  Image bad;
  EXPECT_FALSE(bad.Allocate(0, 1, 3));
  EXPECT_FALSE(bad.Allocate(1, 1, 2));
  EXPECT_TRUE(bad.pixels.empty());

  Image img;
  ASSERT_TRUE(img.Allocate(3, 2, 3));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) img.Set(x, y, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 9);
  }
  FlipVertical(img);
  EXPECT_EQ(img.At(0, 0)[1], 1);
  EXPECT_EQ(img.At(2, 1)[1], 0);
  FlipHorizontal(img);
  EXPECT_EQ(img.At(0, 0)[0], 2);
  EXPECT_EQ(img.At(2, 0)[0], 0);
  EXPECT_EQ(img.At(1, 1)[0], 1);
  EXPECT_EQ(img.At(1, 1)[2], 9);
}

}  // namespace
