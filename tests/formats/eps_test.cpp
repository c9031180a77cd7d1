// Encapsulated PostScript reader: each kind of preview (TIFF and WMF in the
// DOS binary header, EPSI hex), and a file without one rendered by
// Ghostscript. Fixtures: fig2dev output, the same passed through ps2epsi,
// and DOS binary files assembled from it with a TIFF (ImageMagick) or a WMF
// (Inkscape) preview.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "generation/formats/formats.h"
#include "tests/formats/drawing_check.h"

namespace {

using formats::Image;

bool ReadBytes(const std::vector<std::uint8_t>& bytes, Image& out) {
  formats::Source src;
  src.path = "test.eps";
  src.data = bytes;
  return formats::ReadEps(src, out);
}

bool ReadFile(const std::string& name, Image& out) {
  std::vector<std::uint8_t> bytes;
  const std::string path = std::string(GALVORA_FIXTURES) + "/eps/" + name;
  if (!formats::LoadFileBytes(path, bytes)) return false;
  formats::Source src;
  src.path = path;
  src.data = bytes;
  return formats::ReadEps(src, out);
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

bool GhostscriptInstalled() {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string p(path);
  std::size_t start = 0;
  while (start <= p.size()) {
    const std::size_t end = std::min(p.find(':', start), p.size());
    std::error_code ec;
    if (end > start && std::filesystem::exists(std::filesystem::path(p.substr(start, end - start)) / "gs", ec)) return true;
    start = end + 1;
  }
  return false;
}

struct Probe {
  int x, y;
  Rgb color;
};
struct FixtureCase {
  const char* file;
  bool needsGhostscript;
  bool ok;
  int width, height;
  std::vector<Probe> probes;
};

TEST(Eps, Fixtures) {
  const std::vector<FixtureCase> cases = {
      // DOS binary header + 20 × 10 TIFF preview (red left, blue right): the
      // TIFF's own size.
      {"dos_tiff_preview.eps", false, true, 20, 10, {{5, 5, kRed}, {15, 5, kBlue}}},
      // DOS binary header + WMF preview: drawn at the BoundingBox size (69 × 41).
      {"dos_wmf_preview.eps", false, true, 69, 41, {{17, 12, kRed}, {49, 12, kBlue}}},
      // EPSI preview from ps2epsi: 8-bit inverted grey, 69 × 41.
      {"ps2epsi_box.eps", false, true, 69, 41, {{17, 12, {130, 130, 130}}, {55, 12, {69, 69, 69}}, {35, 35, kWhite}}},
      // No preview: Ghostscript renders the BoundingBox at 72 dpi.
      {"fig2dev_box.eps", true, true, 69, 41, {{17, 12, kRed}, {55, 12, kBlue}, {35, 35, kWhite}}},
      // DOS header whose sections all lie past the end of the file.
      {"broken/dos_offsets_past_end.eps", false, false, 0, 0, {}},
      // Neither PostScript nor a DOS header.
      {"broken/not_postscript.eps", false, false, 0, 0, {}},
      // EPSI hex cut short: the preview is refused and the PostScript (which
      // draws nothing) is rendered instead, white at the BoundingBox size.
      {"broken/epsi_truncated.eps", true, true, 8, 8, {{4, 4, kWhite}}},
  };
  const bool gs = GhostscriptInstalled();
  for (const FixtureCase& c : cases) {
    SCOPED_TRACE(c.file);
    if (c.needsGhostscript && !gs) continue;
    Image img;
    const bool ok = ReadFile(c.file, img);
    ASSERT_EQ(ok, c.ok);
    if (!ok) continue;
    EXPECT_EQ(img.width, c.width);
    EXPECT_EQ(img.height, c.height);
    for (const Probe& p : c.probes) EXPECT_TRUE(PixelIs(img, p.x, p.y, p.color));
  }
}

// EPSI previews of each depth: one row of samples 0 (white) and the maximum
// (black), each row starting on a byte.
struct EpsiCase {
  int depth;
  const char* hexRow;  // 8 pixels: 4 white then 4 black
};

TEST(Eps, EpsiDepths) {
  const std::vector<EpsiCase> cases = {
      {1, "0F"},
      {2, "00FF"},
      {4, "00 00 FF FF"},
      {8, "00000000FFFFFFFF"},
  };
  for (const EpsiCase& c : cases) {
    SCOPED_TRACE(c.depth);
    const std::string file = std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 8 2\n%%EndComments\n") +
                             "%%BeginPreview: 8 2 " + std::to_string(c.depth) + " 2\n% " + c.hexRow + "\n% " +
                             c.hexRow + "\n%%EndPreview\nshowpage\n";
    Image img;
    ASSERT_TRUE(ReadBytes(Bytes(file), img));
    EXPECT_EQ(img.width, 8);
    EXPECT_EQ(img.height, 2);
    EXPECT_TRUE(PixelIs(img, 1, 0, kWhite));
    EXPECT_TRUE(PixelIs(img, 6, 1, kBlack));
  }
}

TEST(Eps, EpsiScaledToBoundingBox) {
  // A 4 × 2 preview of a 8 × 4 point box is scaled to the box.
  const std::string file =
      "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 10 10 18 14\n%%BeginPreview: 4 2 8 2\n% 00000000\n% FFFFFFFF\n"
      "%%EndPreview\n";
  Image img;
  ASSERT_TRUE(ReadBytes(Bytes(file), img));
  EXPECT_EQ(img.width, 8);
  EXPECT_EQ(img.height, 4);
  EXPECT_TRUE(PixelIs(img, 7, 0, kWhite));
  EXPECT_TRUE(PixelIs(img, 7, 3, kBlack));
}

TEST(Eps, WithoutGhostscriptAFileWithoutPreviewFails) {
  // An empty folder as PATH: gs cannot be found, the file loads as false.
  const char* old = std::getenv("PATH");
  const std::string saved = old != nullptr ? old : "";
  const auto empty = std::filesystem::temp_directory_path() / ("galvora-eps-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(empty);
  ::setenv("PATH", empty.string().c_str(), 1);
  Image img;
  const bool ok = ReadFile("fig2dev_box.eps", img);
  ::setenv("PATH", saved.c_str(), 1);
  std::filesystem::remove_all(empty);
  EXPECT_FALSE(ok);
}

TEST(Eps, GhostscriptLeavesNoTemporaryFiles) {
  if (!GhostscriptInstalled()) GTEST_SKIP() << "gs not installed";
  auto count = [] {
    int n = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), ec)) {
      n += e.path().filename().string().rfind("galvora-eps-", 0) == 0;
    }
    return n;
  };
  const int before = count();
  Image img;
  EXPECT_TRUE(ReadFile("fig2dev_box.eps", img));
  // A file Ghostscript rejects also cleans up.
  Image ignored;
  ReadBytes(Bytes("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nthis is not valid (\n"), ignored);
  EXPECT_EQ(count(), before);
}

TEST(Eps, EndlessPostScriptIsStopped) {
  // Ghostscript gets ten seconds of wall-clock time, then it is killed.
  if (!GhostscriptInstalled()) GTEST_SKIP() << "gs not installed";
  const auto start = std::chrono::steady_clock::now();
  Image img;
  EXPECT_FALSE(ReadBytes(Bytes("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n{} loop\n"), img));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(Eps, RegistryReadsEpsExtension) {
  const formats::Format* f = formats::FindFormat(".eps", formats::Kind::Internal);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->read, &formats::ReadEps);
}

}  // namespace
