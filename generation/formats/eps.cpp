// Encapsulated PostScript (.eps): the preview the file carries (a TIFF or
// WMF in the DOS binary header, or an EPSI hex bitmap), else Ghostscript
// rendering the PostScript in a separate, limited process. Ghostscript is
// never linked in: its history of sandbox escapes is why it runs out of
// process, with -dSAFER, a memory limit, a wall-clock limit and no shell.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/gdi_player.h"
#include "generation/formats/reader.h"

#ifndef GALVORA_MAX_PIXELS
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>
#endif

namespace formats {
namespace {

constexpr std::uint32_t kDosMagic = 0xC6D3D0C5;  // C5 D0 D3 C6
// How far into the PostScript the header comments and the preview are looked for.
constexpr std::size_t kHeaderWindow = 1 << 20;

struct BoundingBox {
  double llx = 0, lly = 0, urx = 0, ury = 0;
  int Width() const { return static_cast<int>(std::lround(urx - llx)); }
  int Height() const { return static_cast<int>(std::lround(ury - lly)); }
  bool Usable() const { return DimensionsOk(Width(), Height()); }
};

std::string_view Text(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void SkipBlanks(std::string_view& s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
}

// Reads the next number of a DSC comment line (locale-independent).
bool Number(std::string_view& s, double& v) {
  SkipBlanks(s);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || !std::isfinite(v)) return false;
  s.remove_prefix(static_cast<std::size_t>(end - s.data()));
  return true;
}

bool BoxAt(std::string_view ps, std::size_t at, BoundingBox& box) {
  std::string_view line = ps.substr(at);
  line = line.substr(0, line.find_first_of("\r\n"));
  return Number(line, box.llx) && Number(line, box.lly) && Number(line, box.urx) &&
         Number(line, box.ury) && box.urx > box.llx && box.ury > box.lly;
}

// %%BoundingBox from the header comments, or from the trailer when the
// header says "(atend)".
bool FindBoundingBox(std::string_view ps, BoundingBox& box) {
  constexpr std::string_view kKey = "%%BoundingBox:";
  const std::size_t at = ps.substr(0, kHeaderWindow).find(kKey);
  if (at == std::string_view::npos) return false;
  if (BoxAt(ps, at + kKey.size(), box)) return true;
  const std::size_t last = ps.rfind(kKey);
  return last != at && BoxAt(ps, last + kKey.size(), box);
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Nearest-neighbour resize, so a preview takes the BoundingBox size.
bool Resize(const Image& in, int w, int h, Image& out) {
  if (in.width == w && in.height == h) {
    out = in;
    return true;
  }
  Image r;
  if (!r.Allocate(w, h, in.channels)) return false;
  for (int y = 0; y < h; ++y) {
    const int sy = static_cast<int>(static_cast<std::int64_t>(y) * in.height / h);
    for (int x = 0; x < w; ++x) {
      const int sx = static_cast<int>(static_cast<std::int64_t>(x) * in.width / w);
      const std::uint8_t* s = in.Row(sy) + static_cast<std::size_t>(sx) * in.channels;
      std::copy(s, s + in.channels, r.At(x, y));
    }
  }
  out = std::move(r);
  return true;
}

// EPSI: "%%BeginPreview: w h depth lines", then "%"-prefixed hex lines of
// inverted grey samples (0 = white), each row starting on a byte.
bool ReadEpsi(std::string_view ps, const BoundingBox* box, Image& out) {
  constexpr std::string_view kKey = "%%BeginPreview:";
  const std::size_t at = ps.substr(0, kHeaderWindow).find(kKey);
  if (at == std::string_view::npos) return false;
  std::string_view rest = ps.substr(at + kKey.size());
  double w = 0, h = 0, depth = 0;
  if (!Number(rest, w) || !Number(rest, h) || !Number(rest, depth)) return false;
  if (w != std::floor(w) || h != std::floor(h) || w > 32767 || h > 32767) return false;
  if (depth != 1 && depth != 2 && depth != 4 && depth != 8) return false;
  const int width = static_cast<int>(w), height = static_cast<int>(h), bits = static_cast<int>(depth);
  if (!DimensionsOk(width, height)) return false;
  const std::size_t rowBytes = RowBytes(width, bits);
  const std::uint64_t need = static_cast<std::uint64_t>(rowBytes) * height;
  // Two hex digits per byte: refuse before allocating when the text is too short.
  if (rowBytes == 0 || need > rest.size() / 2) return false;
  std::vector<std::uint8_t> data;
  data.reserve(static_cast<std::size_t>(need));
  // Skip the rest of the BeginPreview line.
  std::size_t pos = rest.find('\n');
  if (pos == std::string_view::npos) return false;
  int high = -1;
  while (pos < rest.size() && data.size() < need) {
    // One comment line: "%" followed by hex digits.
    std::size_t end = rest.find('\n', pos + 1);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view line = rest.substr(pos + 1, end - pos - 1);
    pos = end;
    if (line.starts_with("%%EndPreview")) break;
    if (!line.starts_with("%")) continue;
    for (char c : line.substr(1)) {
      const int v = Hex(c);
      if (v < 0) continue;
      if (high < 0) {
        high = v;
      } else {
        data.push_back(static_cast<std::uint8_t>(high << 4 | v));
        high = -1;
        if (data.size() == need) break;
      }
    }
  }
  if (data.size() < need) return false;
  Image img;
  if (!img.Allocate(width, height, 3)) return false;
  const unsigned maxval = (1u << bits) - 1;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    UnpackBits(data.data() + rowBytes * y, bits, width, row.data());
    for (int x = 0; x < width; ++x) {
      const std::uint8_t g = static_cast<std::uint8_t>(255 - ScaleToByte(row[x], maxval));
      img.Set(x, y, g, g, g);
    }
  }
  if (box != nullptr && box->Usable()) return Resize(img, box->Width(), box->Height(), out);
  out = std::move(img);
  return true;
}

#ifndef GALVORA_MAX_PIXELS
constexpr rlim_t kGhostscriptMemory = rlim_t{1} << 30;
constexpr auto kGhostscriptTime = std::chrono::seconds(10);

// The first executable `name` in an absolute PATH folder, or "".
std::string FindOnPath(const char* name) {
  const char* env = std::getenv("PATH");
  if (env == nullptr) return {};
  std::string_view path(env);
  while (true) {
    const std::size_t colon = path.find(':');
    const std::string_view dir = path.substr(0, colon);
    if (!dir.empty() && dir.front() == '/') {
      std::string candidate = std::string(dir) + "/" + name;
      struct stat st {};
      if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    if (colon == std::string_view::npos) break;
    path.remove_prefix(colon + 1);
  }
  return {};
}

// Removes the private working folder whatever happens.
struct TempFolder {
  std::filesystem::path path;
  ~TempFolder() {
    if (!path.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
    }
  }
};

bool WriteAll(const std::string& file, std::span<const std::uint8_t> data) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return close(fd) == 0 && done == data.size();
}

// Runs argv (argv[0] is an absolute path) with a memory limit, no inherited
// descriptors and a minimal environment (GS_OPTIONS and friends cannot
// reach it); true when it exited with status 0 within the time limit.
bool RunLimited(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  char lcAll[] = "LC_ALL=C";
  char* envp[] = {lcAll, nullptr};
  const int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t pid = fork();
  if (pid < 0) {
    if (devnull >= 0) close(devnull);
    return false;
  }
  if (pid == 0) {
    // Child: async-signal-safe calls only.
    const struct rlimit memory = {kGhostscriptMemory, kGhostscriptMemory};
    setrlimit(RLIMIT_AS, &memory);
    const struct rlimit cpu = {30, 30};
    setrlimit(RLIMIT_CPU, &cpu);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    execve(argv[0], argv.data(), envp);
    _exit(127);
  }
  if (devnull >= 0) close(devnull);
  const auto deadline = std::chrono::steady_clock::now() + kGhostscriptTime;
  int status = 0;
  while (true) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RenderWithGhostscript(std::span<const std::uint8_t> ps, Image& out) {
  const std::string gs = FindOnPath("gs");
  if (gs.empty()) return false;
  std::error_code ec;
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  if (ec) return false;
  std::string name = (tmp / "galvora-eps-XXXXXX").string();
  if (mkdtemp(name.data()) == nullptr) return false;
  TempFolder folder{name};
  const std::string input = (folder.path / "in.eps").string();
  // EPS files need not end with showpage, and without one Ghostscript
  // writes no page: one is appended, and the first page is the picture
  // (a file with its own showpage gives a blank second page, ignored).
  std::vector<std::uint8_t> program(ps.begin(), ps.end());
  constexpr std::string_view kShowpage = "\nshowpage\n";
  program.insert(program.end(), kShowpage.begin(), kShowpage.end());
  if (!WriteAll(input, program)) return false;
  std::string pattern;  // "%" is Ghostscript's page-number escape
  for (char c : (folder.path / "page").string()) pattern += c == '%' ? std::string("%%") : std::string(1, c);
  const std::vector<std::string> args = {gs, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop",
                                         "-sDEVICE=png16m", "-r72", "-sOutputFile=" + pattern + "%d.png", input};
  if (!RunLimited(args)) return false;
  const std::string output = (folder.path / "page1.png").string();
  std::vector<std::uint8_t> png;
  if (!LoadFileBytes(output, png)) return false;
  Source src;
  src.path = output;
  src.data = png;
  return ReadPng(src, out);
}
#endif

bool ReadEpsFile(const Source& src, Image& out) {
  const auto data = src.data;
  std::span<const std::uint8_t> ps = data;
  Reader r(data);
  if (r.u32le() == kDosMagic) {
    const std::uint32_t psOff = r.u32le(), psLen = r.u32le();
    const std::uint32_t wmfOff = r.u32le(), wmfLen = r.u32le();
    const std::uint32_t tiffOff = r.u32le(), tiffLen = r.u32le();
    if (!r.ok()) return false;
    auto section = [&](std::uint32_t off, std::uint32_t len) -> std::span<const std::uint8_t> {
      if (len == 0 || off > data.size() || len > data.size() - off) return {};
      return data.subspan(off, len);
    };
    ps = section(psOff, psLen);
    BoundingBox box;
    const bool haveBox = FindBoundingBox(Text(ps), box) && box.Usable();
    if (const auto tiff = section(tiffOff, tiffLen); !tiff.empty()) {
      Source sub = src;
      sub.data = tiff;
      if (ReadTiff(sub, out)) return true;
    }
    if (const auto wmf = section(wmfOff, wmfLen); !wmf.empty()) {
      if (gdi::PlayWmf(wmf, src, haveBox ? box.Width() : 0, haveBox ? box.Height() : 0, out)) return true;
    }
    if (ps.empty()) return false;
  }
  const std::string_view text = Text(ps);
  if (!text.starts_with("%!")) return false;
  BoundingBox box;
  const bool haveBox = FindBoundingBox(text, box) && box.Usable();
  if (ReadEpsi(text, haveBox ? &box : nullptr, out)) return true;
#ifdef GALVORA_MAX_PIXELS
  // Fuzz builds never start Ghostscript: the fuzzer exercises our parsing,
  // not a subprocess.
  return false;
#else
  return RenderWithGhostscript(ps, out);
#endif
}

}  // namespace

bool ReadEps(const Source& src, Image& out) {
  try {
    return ReadEpsFile(src, out);
  } catch (...) {
    return false;
  }
}

}  // namespace formats
