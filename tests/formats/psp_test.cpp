#include <algorithm>
#include <functional>

#include "tests/formats/byte_builder.h"

using namespace bytes_test;
using formats::Image;
using formats::ReadPsp;

namespace {

constexpr char kSignature[] = "Paint Shop Pro Image File\n\x1a";

// Writes the block structure of one file version: version 3 headers carry
// the length of the block's first chunk, later versions start each chunk
// with its own length.
struct PspWriter {
  int major;

  Bytes Block(unsigned id, const Bytes& body, std::uint32_t initialLength = 0) const {
    Builder b;
    b.str(std::string_view("~BK\0", 4)).u16le(id);
    if (major < 4) b.u32le(initialLength);
    b.u32le(static_cast<std::uint32_t>(body.size())).raw(body);
    return b.b;
  }

  Bytes Attributes(int w, int h, int compression, int depth, bool grey) const {
    Builder b;
    if (major >= 4) b.u32le(46);
    b.u32le(w).u32le(h).zeros(8).u8(1).u16le(compression).u16le(depth).u16le(1).u32le(0);
    b.u8(grey ? 1 : 0).u32le(0).u32le(0).u16le(1);
    if (major >= 4) b.u32le(1);
    return Block(0, b.b, major >= 4 ? 0 : 38);
  }

  Bytes PaletteBlock(const std::vector<std::array<int, 3>>& colours) const {
    Builder b;
    if (major >= 4) b.u32le(8);
    b.u32le(static_cast<std::uint32_t>(colours.size()));
    for (const auto& c : colours) b.u8(c[2]).u8(c[1]).u8(c[0]).u8(0);
    return Block(2, b.b, 4);
  }

  Bytes Channel(int bitmapType, int channelType, const Bytes& stored, std::uint32_t uncompressed) const {
    Builder b;
    if (major >= 4) b.u32le(16);
    b.u32le(static_cast<std::uint32_t>(stored.size())).u32le(uncompressed).u16le(bitmapType).u16le(channelType);
    b.raw(stored);
    return Block(5, b.b, 12);
  }

  struct LayerInfo {
    int left, top, width, height;
    int opacity = 255;
    bool visible = true;
    int type = 1;  // raster
  };

  Bytes Layer(const LayerInfo& l, const std::vector<Bytes>& channels) const {
    Builder info;
    const int flags = l.visible ? 1 : 0;
    auto rects = [&](Builder& b) {
      b.u32le(0).u32le(0).u32le(1000).u32le(1000);  // image rectangle
      b.u32le(l.left).u32le(l.top).u32le(l.left + l.width).u32le(l.top + l.height);
      b.u8(l.opacity).u8(0).u8(flags).u8(0).u8(0);
      b.zeros(32).u8(0).u8(0);
    };
    Builder body;
    if (major >= 4) {
      Builder chunk;
      chunk.u16le(5).str("Layer").u8(l.type);
      rects(chunk);
      chunk.zeros(6);  // expansion
      body.u32le(static_cast<std::uint32_t>(chunk.size() + 4)).raw(chunk.b);
      body.u32le(8).u16le(1).u16le(static_cast<unsigned>(channels.size()));
    } else {
      body.zeros(256).u8(0);
      rects(body);
      body.zeros(43).u16le(1).u16le(static_cast<unsigned>(channels.size()));
    }
    const auto initial = static_cast<std::uint32_t>(body.size());
    for (const Bytes& c : channels) body.raw(c);
    return Block(4, body.b, initial);
  }

  Bytes File(const std::vector<Bytes>& blocks) const {
    Builder f;
    f.str(std::string_view(kSignature, sizeof kSignature - 1)).zeros(32 - (sizeof kSignature - 1));
    f.u16le(major).u16le(0);
    for (const Bytes& b : blocks) f.raw(b);
    return f.b;
  }
};

// Stores a plane (w × h bytes, or packed indices for 1 and 4 bits) with the
// given compression, rows padded to four bytes or not.
struct Stored {
  Bytes data;
  std::uint32_t uncompressed;
};

Stored Store(const std::function<int(int, int)>& value, int w, int h, int bits, bool pad, int compression) {
  const std::size_t packed = (static_cast<std::size_t>(w) * bits + 7) / 8;
  const std::size_t stride = pad ? (packed + 3) / 4 * 4 : packed;
  Bytes raw(stride * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int v = value(x, y);
      if (bits == 8) {
        raw[stride * y + x] = static_cast<std::uint8_t>(v);
      } else {
        const int bit = x * bits;
        raw[stride * y + bit / 8] |= static_cast<std::uint8_t>(v << (8 - bits - bit % 8));
      }
    }
  }
  Stored s{{}, static_cast<std::uint32_t>(raw.size())};
  if (compression == 0) {
    s.data = raw;
  } else if (compression == 2) {
    s.data = Deflate(raw);
  } else {
    // Runs of equal bytes as repeats, the rest as copies of up to 128.
    std::size_t i = 0;
    while (i < raw.size()) {
      std::size_t run = 1;
      while (i + run < raw.size() && raw[i + run] == raw[i] && run < 127) ++run;
      if (run >= 2) {
        s.data.push_back(static_cast<std::uint8_t>(128 + run));
        s.data.push_back(raw[i]);
        i += run;
      } else {
        s.data.push_back(1);
        s.data.push_back(raw[i++]);
      }
    }
  }
  return s;
}

int Red(int x, int y) { return 10 + x * 30 + y; }
int Green(int x, int y) { return 200 - x * 5 - y * 20; }
int Blue(int x, int y) { return (x * y * 17) & 255; }

Bytes RgbLayer(const PspWriter& p, const PspWriter::LayerInfo& l, int compression, bool pad,
               const std::function<int(int, int)>& mask = nullptr) {
  std::vector<Bytes> channels;
  int type = 1;
  for (auto fn : {Red, Green, Blue}) {
    const Stored s = Store(fn, l.width, l.height, 8, pad, compression);
    channels.push_back(p.Channel(0, type++, s.data, s.uncompressed));
  }
  if (mask) {
    const Stored s = Store(mask, l.width, l.height, 8, pad, compression);
    channels.push_back(p.Channel(1, 0, s.data, s.uncompressed));
  }
  return p.Layer(l, channels);
}

struct Case {
  const char* what;
  int major;
  int compression;
  bool pad;
};

const Case kRgbCases[] = {
    {"version 5, LZ77, rows unpadded", 5, 2, false},
    {"version 5, RLE, rows padded", 5, 1, true},
    {"version 4, uncompressed", 4, 0, false},
    {"version 3, RLE", 3, 1, false},
    {"version 3, uncompressed, rows padded", 3, 0, true},
    {"version 6, LZ77, rows padded", 6, 2, true},
};

TEST(Psp, ReadsOneRgbLayer) {
  constexpr int kW = 5, kH = 3;
  for (const Case& c : kRgbCases) {
    SCOPED_TRACE(c.what);
    const PspWriter p{c.major};
    const Bytes bank = RgbLayer(p, {0, 0, kW, kH}, c.compression, c.pad);
    const Bytes file = p.File({p.Attributes(kW, kH, c.compression, 24, false), p.Block(3, bank)});
    Image img;
    ASSERT_TRUE(Decode(ReadPsp, file, img));
    ASSERT_EQ(img.width, kW);
    ASSERT_EQ(img.height, kH);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) ExpectNear(At(img, x, y), {Red(x, y), Green(x, y), Blue(x, y), 255});
    }
  }
}

TEST(Psp, ReadsGreyAndIndexedLayers) {
  constexpr int kW = 6, kH = 3;
  struct Indexed {
    const char* what;
    int depth;
    bool grey;
    bool pad;
    int compression;
  };
  const Indexed cases[] = {
      {"8-bit grey, unpadded", 8, true, false, 2},
      {"8-bit grey, padded", 8, true, true, 0},
      {"8-bit palette", 8, false, false, 1},
      {"4-bit palette, padded", 4, false, true, 2},
      {"1-bit palette, padded", 1, false, true, 0},
      {"4-bit palette, unpadded", 4, false, false, 1},
  };
  for (const Indexed& c : cases) {
    SCOPED_TRACE(c.what);
    const PspWriter p{5};
    const int colours = 1 << c.depth;
    auto index = [&](int x, int y) { return (x + 2 * y) % colours; };
    std::vector<std::array<int, 3>> palette;
    for (int i = 0; i < colours; ++i) palette.push_back({i, 255 - i, 7});
    const Stored s = Store(index, kW, kH, c.depth, c.pad, c.compression);
    const Bytes layer = p.Layer({0, 0, kW, kH}, {p.Channel(0, 0, s.data, s.uncompressed)});
    std::vector<Bytes> blocks = {p.Attributes(kW, kH, c.compression, c.depth, c.grey)};
    if (!c.grey) blocks.push_back(p.PaletteBlock(palette));
    blocks.push_back(p.Block(3, layer));
    Image img;
    ASSERT_TRUE(Decode(ReadPsp, p.File(blocks), img));
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const int i = index(x, y);
        ExpectNear(At(img, x, y), c.grey ? std::array<int, 4>{i, i, i, 255} : std::array<int, 4>{i, 255 - i, 7, 255});
      }
    }
  }
}

TEST(Psp, BlendsVisibleLayers) {
  constexpr int kW = 6, kH = 5;
  for (int major : {3, 5}) {
    SCOPED_TRACE(major);
    const PspWriter p{major};
    // Opaque background, a half-transparent 2 × 2 layer at (3, 2) with its
    // own mask, and a hidden layer that must not show.
    Bytes bank = RgbLayer(p, {0, 0, kW, kH}, 2, false);
    PspWriter::LayerInfo top{3, 2, 2, 2, 128};
    Bytes upper = RgbLayer(p, top, 2, false, [](int x, int) { return x == 0 ? 255 : 0; });
    PspWriter::LayerInfo hidden{0, 0, kW, kH};
    hidden.visible = false;
    Bytes invisible = RgbLayer(p, hidden, 2, false);
    bank.insert(bank.end(), upper.begin(), upper.end());
    bank.insert(bank.end(), invisible.begin(), invisible.end());
    Image img;
    ASSERT_TRUE(Decode(ReadPsp, p.File({p.Attributes(kW, kH, 2, 24, false), p.Block(3, bank)}), img));
    ASSERT_EQ(img.channels, 4);
    ExpectNear(At(img, 0, 0), {Red(0, 0), Green(0, 0), Blue(0, 0), 255});
    // Layer pixel (0, 0) at half opacity over background pixel (3, 2).
    auto mix = [](int a, int b) { return (a * 128 + b * 127 + 127) / 255; };
    ExpectNear(At(img, 3, 2), {mix(Red(0, 0), Red(3, 2)), mix(Green(0, 0), Green(3, 2)),
                               mix(Blue(0, 0), Blue(3, 2)), 255}, 1);
    // The mask hides the layer's second column.
    ExpectNear(At(img, 4, 3), {Red(4, 3), Green(4, 3), Blue(4, 3), 255});
  }
}

TEST(Psp, LayersLeaveTransparency) {
  const PspWriter p{5};
  const Bytes bank = RgbLayer(p, {1, 1, 2, 2}, 0, false);
  Image img;
  ASSERT_TRUE(Decode(ReadPsp, p.File({p.Attributes(4, 4, 0, 24, false), p.Block(3, bank)}), img));
  ASSERT_EQ(img.channels, 4);
  EXPECT_EQ(At(img, 0, 0)[3], 0);
  ExpectNear(At(img, 1, 1), {Red(0, 0), Green(0, 0), Blue(0, 0), 255});
}

TEST(Psp, PrefersTheStoredComposite) {
  constexpr int kW = 4, kH = 3;
  const PspWriter p{5};
  // Layers say one thing, the composite another: the composite wins. A
  // thumbnail entry comes first and must be passed over.
  const Bytes layers = RgbLayer(p, {0, 0, kW, kH}, 0, false);
  Builder attributes;
  attributes.u32le(24).u32le(2).u32le(2).u16le(24).u16le(0).u16le(1).u32le(0).u16le(1);  // thumbnail
  Builder composite;
  composite.u32le(24).u32le(kW).u32le(kH).u16le(8).u16le(2).u16le(1).u32le(256).u16le(0);
  auto value = [](int x, int y) { return 50 + x * 10 + y; };
  const Stored thumb = Store(value, 2, 2, 8, false, 0);
  Builder thumbImage;
  thumbImage.u32le(8).u16le(1).u16le(1).raw(p.Channel(8, 0, thumb.data, thumb.uncompressed));
  const Stored plane = Store(value, kW, kH, 8, false, 2);
  Builder image;
  image.u32le(8).u16le(1).u16le(1).raw(p.Channel(8, 0, plane.data, plane.uncompressed));
  Builder bank;
  bank.u32le(8).u32le(2).raw(p.Block(17, attributes.b)).raw(p.Block(17, composite.b));
  bank.raw(p.Block(9, thumbImage.b)).raw(p.Block(9, image.b));
  const Bytes file =
      p.File({p.Attributes(kW, kH, 0, 24, true), p.Block(16, bank.b), p.Block(3, layers)});
  Image img;
  ASSERT_TRUE(Decode(ReadPsp, file, img));
  ASSERT_EQ(img.width, kW);
  ASSERT_EQ(img.height, kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const int v = value(x, y);
      ExpectNear(At(img, x, y), {v, v, v, 255});
    }
  }
}

TEST(Psp, ReadsAJpegComposite) {
  const Bytes jpeg = ReadFixture("psp/composite.jpg");
  ASSERT_FALSE(jpeg.empty());
  Image want;
  ASSERT_TRUE(Decode(formats::ReadJpeg, jpeg, want, "composite.jpg"));
  const PspWriter p{5};
  Builder attributes;
  attributes.u32le(24).u32le(want.width).u32le(want.height).u16le(24).u16le(3).u16le(1).u32le(0).u16le(0);
  Builder block;
  block.u32le(14).u32le(static_cast<std::uint32_t>(jpeg.size())).u32le(0).u16le(8).raw(jpeg);
  Builder bank;
  bank.u32le(8).u32le(1).raw(p.Block(17, attributes.b)).raw(p.Block(18, block.b));
  const Bytes file = p.File({p.Attributes(want.width, want.height, 2, 24, false), p.Block(16, bank.b)});
  Image img;
  ASSERT_TRUE(Decode(ReadPsp, file, img));
  EXPECT_EQ(img.width, 16);
  EXPECT_EQ(img.height, 12);
  EXPECT_EQ(MaxDifference(img, want), 0);
}

TEST(Psp, RefusesBrokenFiles) {
  const PspWriter p{5};
  const Bytes bank = RgbLayer(p, {0, 0, 4, 4}, 1, false);
  const Bytes good = p.File({p.Attributes(4, 4, 1, 24, false), p.Block(3, bank)});
  Image img;
  ASSERT_TRUE(Decode(ReadPsp, good, img));
  Bytes bad = good;
  bad[5] = 'X';
  EXPECT_FALSE(Decode(ReadPsp, bad, img)) << "signature";
  bad = good;
  bad.resize(bad.size() - 3);
  EXPECT_FALSE(Decode(ReadPsp, bad, img)) << "last channel cut short";
  EXPECT_FALSE(Decode(ReadPsp, p.File({p.Block(3, bank)}), img)) << "no attributes block";
  EXPECT_FALSE(Decode(ReadPsp, p.File({p.Attributes(4, 4, 1, 16, false), p.Block(3, bank)}), img))
      << "16-bit";

  const char* const broken[] = {
      "psp/broken/huge_layer.psp",      // a layer rectangle of 2^31 pixels per side
      "psp/broken/rle_short.psp",       // RLE data ending before the channel is full
      "psp/broken/lz77_garbage.psp",    // a channel whose LZ77 stream is not zlib
  };
  for (const char* name : broken) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Decode(ReadPsp, ReadFixture(name), img));
  }
}

}  // namespace
