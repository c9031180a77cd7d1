#include "tests/formats/legacy_pattern.h"

using namespace legacy_test;
using namespace std::string_literals;
using formats::Image;
using formats::ReadNetpbm;

namespace {

struct FixtureCase {
  const char* file;
  Pattern pattern;
};

// Files written by netpbm (pnmtopnm, pnmdepth, pamstack) and ImageMagick; all 7 × 5.
const FixtureCase kFixtures[] = {
    {"plain.pbm", Pattern::Bits},        // P1 with a comment line
    {"plain.pgm", Pattern::Grey},        // P2
    {"plain.ppm", Pattern::Rgb},         // P3
    {"raw.pbm", Pattern::Bits},          // P4, rows padded to bytes
    {"raw.pgm", Pattern::Grey},          // P5
    {"raw.ppm", Pattern::Rgb},           // P6
    {"raw16.ppm", Pattern::Rgb},         // P6, maxval 65535
    {"rgba.pnm", Pattern::Rgba},         // P7 RGB_ALPHA
    {"convert_rgb16.pnm", Pattern::Rgb}, // P7 RGB, 16-bit
};

TEST(Netpbm, ReadsFixtures) {
  for (const auto& c : kFixtures) {
    SCOPED_TRACE(c.file);
    Image img;
    ASSERT_TRUE(Decode(ReadNetpbm, ReadFixture(std::string("netpbm/") + c.file), img));
    ExpectPattern(img, c.pattern, 7, 5);
  }
}

std::vector<std::uint8_t> Text(const std::string& s) { return {s.begin(), s.end()}; }

struct TextCase {
  const char* what;
  std::string file;
  int width, height, channels;
  Px first, last;  // top-left and bottom-right pixels
};

const TextCase kCases[] = {
    {"comments between every field", "P2#c\n#c2\n 2 #w\n1#h\n#m\n 4 # four\n0 4\n", 2, 1, 3,
     {0, 0, 0, 255}, {255, 255, 255, 255}},
    {"plain PBM digits without separators", "P1\n3 2\n010\n101", 3, 2, 3, {255, 255, 255, 255},
     {0, 0, 0, 255}},
    {"maxval 1000 scaled", "P3 1 2 1000 1000 0 500 0 1000 250", 1, 2, 3, {255, 0, 128, 255},
     {0, 255, 64, 255}},
    {"first of two concatenated pictures", std::string("P5 1 1 255\n") + '\x80' + "P5 2 2 255\n\1\2\3\4", 1,
     1, 3, {128, 128, 128, 255}, {128, 128, 128, 255}},
    {"PAM greyscale with alpha", "P7\nWIDTH 2\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n"
                                 "\x10\x20\x30\x40",
     2, 1, 4, {16, 16, 16, 32}, {48, 48, 48, 64}},
    {"PAM black and white (1 = white)",
     "P7\n# note\nWIDTH 2\nHEIGHT 1\nDEPTH 1\nMAXVAL 1\nTUPLTYPE BLACKANDWHITE\nENDHDR\n\x01\x00"s, 2, 1, 3,
     {255, 255, 255, 255}, {0, 0, 0, 255}},
    {"PAM greyscale, 16-bit", "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 65535\nTUPLTYPE GRAYSCALE\nENDHDR\n\x80\x00"s,
     1, 1, 3, {128, 128, 128, 255}, {128, 128, 128, 255}},
    {"PAM without tuple type goes by depth", "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 15\nENDHDR\n\x0f\x00\x05"s, 1,
     1, 3, {255, 0, 85, 255}, {255, 0, 85, 255}},
    {"sample above maxval clamps", "P2 1 1 10 99", 1, 1, 3, {255, 255, 255, 255}, {255, 255, 255, 255}},
};

TEST(Netpbm, ReadsHeaderVariants) {
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Image img;
    ASSERT_TRUE(Decode(ReadNetpbm, Text(c.file), img));
    ASSERT_EQ(img.width, c.width);
    ASSERT_EQ(img.height, c.height);
    ASSERT_EQ(img.channels, c.channels);
    const std::uint8_t* first = img.pixels.data();
    const std::uint8_t* last = img.pixels.data() + img.pixels.size() - c.channels;
    for (const auto& [p, e] : {std::pair{first, c.first}, std::pair{last, c.last}}) {
      EXPECT_EQ(p[0], e.r);
      EXPECT_EQ(p[1], e.g);
      EXPECT_EQ(p[2], e.b);
      if (c.channels == 4) {
        EXPECT_EQ(p[3], e.a);
      }
    }
  }
}

TEST(Netpbm, RejectsBrokenFiles) {
  ExpectAllBrokenFail(ReadNetpbm, "netpbm/broken",
                      {
                          "truncated.ppm",              // raw samples shorter than width × height
                          "truncated16.ppm",            // 2-byte samples cut in the last one
                          "truncated_plain.pgm",        // plain samples stop half way
                          "maxval_zero.pgm",            // maxval 0
                          "maxval_big.pgm",             // maxval 65536
                          "bad_magic.ppm",              // "P8"
                          "bad_digit.pbm",              // plain PBM with a 2
                          "negative.ppm",               // width "-1"
                          "huge.pgm",                   // 30000 × 30000 from 100 bytes
                          "pam_no_endhdr.pnm",          // PAM header never ends
                          "pam_depth_short.pnm",        // RGB tuple type with depth 1
                          "no_space_after_maxval.pgm",  // file ends right after the header
                      });
}

}  // namespace
