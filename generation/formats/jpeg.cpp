// JPEG through libjpeg: the reader (colour spaces, EXIF orientation, reduced
// decode for thumbnails), the header-only size probe and the thumbnail encoder.
#include "generation/formats/jpeg.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "generation/formats/formats.h"
#include "generation/formats/reader.h"

namespace formats {
namespace {

// libjpeg reports errors through error_exit, which must not return: we jump
// back to the setjmp of the decode or encode call. Nothing with a destructor
// lives in the frames the jump crosses.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  // Set when the data ended before the first scan was decoded.
  bool truncatedEarly = false;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void SilentOutput(j_common_ptr) {}

// Warnings leave the decode running (a picture with a few damaged blocks is
// still worth a thumbnail) except a file cut off before any pixel arrived.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0 || !cinfo->is_decompressor) return;
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (cinfo->err->msg_code == JWRN_JPEG_EOF) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    const bool firstScan = d->progressive_mode ? d->input_scan_number <= 1 : d->output_scanline == 0;
    if (firstScan) err->truncatedEarly = true;
  }
}

// Progressive files may hold any number of scans; a crafted one with
// thousands of tiny scans takes minutes. Real files have fewer than 20.
constexpr int kMaxScans = 500;

void ProgressMonitor(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    cinfo->err->msg_code = JERR_BAD_PROGRESSION;
    cinfo->err->error_exit(cinfo);
  }
}

void InstallErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = SilentOutput;
  err.pub.emit_message = EmitMessage;
}

// Maps an upright pixel (x, y) of an oriented picture back to the stored
// pixel, for stored size w × h.
struct Orientation {
  int value = 1;
  bool SwapsAxes() const { return value >= 5 && value <= 8; }
};

// Target height exactly as the thumbnail scaler computes it.
long TargetHeight(int w, int h, int targetWidth, bool keepRatio) {
  if (!keepRatio) return targetWidth;
  const double r = static_cast<double>(w) / h;
  return static_cast<long>(static_cast<long double>(targetWidth) / static_cast<long double>(r));
}

// What the decode step hands back: stored-orientation pixels.
struct Decoded {
  int width = 0;
  int height = 0;
  int fullWidth = 0;   // stored full size
  int fullHeight = 0;
  int orientation = 1;
  std::vector<std::uint8_t>* pixels = nullptr;  // RGB, width × height
};

void CmykRowToRgb(const JSAMPLE* in, std::uint8_t* out, int width, bool inverted) {
  for (int x = 0; x < width; ++x, in += 4, out += 3) {
    unsigned c = in[0], m = in[1], y = in[2], k = in[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    // Inverted samples: 255 means no ink.
    out[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
    out[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
    out[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
  }
}

int FindOrientation(j_decompress_ptr cinfo) {
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m != nullptr; m = m->next) {
    if (m->marker != JPEG_APP0 + 1) continue;
    const int o = ExifOrientation({m->data, m->data_length});
    if (o != 1) return o;
  }
  return 1;
}

// Picks the largest libjpeg reduction (1/8, 1/4, 1/2) whose output still
// covers the thumbnail, given the upright full size.
void ChooseScale(j_decompress_ptr cinfo, const Source& src, int uprightW, int uprightH,
                 bool swap) {
  cinfo->scale_num = 1;
  cinfo->scale_denom = 1;
  if (src.reduceToWidth <= 0 || uprightW <= src.reduceToWidth) return;
  const long tw = src.reduceToWidth;
  const long th = TargetHeight(uprightW, uprightH, src.reduceToWidth, src.keepRatio);
  for (unsigned denom : {8u, 4u, 2u}) {
    cinfo->scale_denom = denom;
    jpeg_calc_output_dimensions(cinfo);
    const long w = swap ? cinfo->output_height : cinfo->output_width;
    const long h = swap ? cinfo->output_width : cinfo->output_height;
    if (w >= tw && h >= th) return;
  }
  cinfo->scale_denom = 1;
}

// The libjpeg part: decodes into d.pixels in stored orientation. Only plain
// data lives in this frame, so the longjmp back here is safe.
bool DecodeStored(const Source& src, Decoded& d) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  cinfo.err = nullptr;
  InstallErrorManager(err);
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  progress.progress_monitor = ProgressMonitor;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, src.data.data(), static_cast<unsigned long>(src.data.size()));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);

  const int w = static_cast<int>(cinfo.image_width);
  const int h = static_cast<int>(cinfo.image_height);
  if (!DimensionsOk(w, h)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  d.fullWidth = w;
  d.fullHeight = h;
  d.orientation = FindOrientation(&cinfo);
  const bool swap = Orientation{d.orientation}.SwapsAxes();

  bool cmyk = false;
  switch (cinfo.jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;
      cmyk = true;
      break;
    default:
      cinfo.out_color_space = JCS_RGB;
      break;
  }
  ChooseScale(&cinfo, src, swap ? h : w, swap ? w : h, swap);
  jpeg_calc_output_dimensions(&cinfo);
  const int ow = static_cast<int>(cinfo.output_width);
  const int oh = static_cast<int>(cinfo.output_height);
  if (!DimensionsOk(ow, oh)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const std::size_t stride = static_cast<std::size_t>(ow) * 3;
  try {
    d.pixels->assign(stride * oh, 0);
  } catch (const std::bad_alloc&) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  d.width = ow;
  d.height = oh;

  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != (cmyk ? 4 : 3)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  JSAMPARRAY cmykRow = nullptr;
  if (cmyk) {
    cmykRow = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                         static_cast<JDIMENSION>(ow) * 4, 1);
  }
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    std::uint8_t* row = d.pixels->data() + stride * cinfo.output_scanline;
    if (cmyk) {
      if (jpeg_read_scanlines(&cinfo, cmykRow, 1) != 1) break;
      CmykRowToRgb(cmykRow[0], row, ow, inverted);
    } else {
      JSAMPROW rows[1] = {row};
      if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
    }
  }
  const bool complete = cinfo.output_scanline == cinfo.output_height;
  if (complete) jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return complete && !err.truncatedEarly;
}

// Turns stored pixels upright into `out`.
bool Orient(const std::vector<std::uint8_t>& in, int w, int h, int orientation, Image& out) {
  const bool swap = Orientation{orientation}.SwapsAxes();
  const int ow = swap ? h : w;
  const int oh = swap ? w : h;
  if (!out.Allocate(ow, oh, 3)) return false;
  const std::size_t inStride = static_cast<std::size_t>(w) * 3;
  for (int y = 0; y < oh; ++y) {
    std::uint8_t* dst = out.Row(y);
    for (int x = 0; x < ow; ++x, dst += 3) {
      int sx = x, sy = y;
      switch (orientation) {
        case 2: sx = w - 1 - x; break;
        case 3: sx = w - 1 - x; sy = h - 1 - y; break;
        case 4: sy = h - 1 - y; break;
        case 5: sx = y; sy = x; break;
        case 6: sx = y; sy = h - 1 - x; break;
        case 7: sx = w - 1 - y; sy = h - 1 - x; break;
        case 8: sx = w - 1 - y; sy = x; break;
        default: break;
      }
      const std::uint8_t* p = in.data() + inStride * sy + static_cast<std::size_t>(sx) * 3;
      dst[0] = p[0];
      dst[1] = p[1];
      dst[2] = p[2];
    }
  }
  return true;
}

}  // namespace

int ExifOrientation(std::span<const std::uint8_t> app1) {
  Reader r(app1);
  if (!r.match(std::string_view("Exif\0\0", 6))) return 1;
  const std::size_t base = r.pos();
  Reader tiff(app1.subspan(base));
  bool little;
  if (tiff.match("II")) {
    little = true;
  } else if (tiff.match("MM")) {
    little = false;
  } else {
    return 1;
  }
  auto u16 = [&] { return little ? tiff.u16le() : tiff.u16be(); };
  auto u32 = [&] { return little ? tiff.u32le() : tiff.u32be(); };
  if (u16() != 42) return 1;
  const std::uint32_t ifd = u32();
  if (!tiff.seek(ifd)) return 1;
  const unsigned count = u16();
  for (unsigned i = 0; i < count && tiff.ok(); ++i) {
    const unsigned tag = u16();
    const unsigned type = u16();
    const std::uint32_t n = u32();
    const unsigned value = u16();
    tiff.skip(2);
    if (!tiff.ok()) return 1;
    if (tag == 0x0112 && type == 3 && n >= 1) return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

bool ReadJpeg(const Source& src, Image& out) {
  try {
    std::vector<std::uint8_t> stored;
    Decoded d;
    d.pixels = &stored;
    if (!DecodeStored(src, d)) return false;
    const bool swap = Orientation{d.orientation}.SwapsAxes();
    if (d.orientation == 1) {
      out = Image{};
      out.width = d.width;
      out.height = d.height;
      out.channels = 3;
      out.pixels = std::move(stored);
    } else if (!Orient(stored, d.width, d.height, d.orientation, out)) {
      return false;
    }
    out.fullWidth = swap ? d.fullHeight : d.fullWidth;
    out.fullHeight = swap ? d.fullWidth : d.fullHeight;
    return true;
  } catch (...) {
    return false;
  }
}

namespace {

bool ReadSizeFromFile(std::FILE* f, int& width, int& height) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  InstallErrorManager(err);
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  width = static_cast<int>(cinfo.image_width);
  height = static_cast<int>(cinfo.image_height);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// The libjpeg part of the encoder: false with `reason` set on failure.
bool EncodeToFile(const Image& rgb, int quality, std::FILE* f, const char** reason) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  InstallErrorManager(err);
  cinfo.err = &err.pub;
  if (setjmp(err.jump)) {
    *reason = err.pub.msg_code == JERR_FILE_WRITE ? "cannot write the file" : "encoder error";
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = static_cast<JDIMENSION>(rgb.width);
  cinfo.image_height = static_cast<JDIMENSION>(rgb.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    // libjpeg does not write through the row pointer.
    JSAMPROW row = const_cast<JSAMPROW>(rgb.Row(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

}  // namespace

bool ReadJpegSize(const std::string& path, int& width, int& height) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  const bool ok = ReadSizeFromFile(f, width, height);
  std::fclose(f);
  return ok;
}

bool WriteJpegFile(const Image& rgb, int quality, const std::string& path, std::string* error) {
  auto fail = [&](const char* why) {
    if (error != nullptr) *error = why;
    return false;
  };
  if (rgb.channels != 3 || rgb.width <= 0 || rgb.height <= 0 || rgb.width > JPEG_MAX_DIMENSION ||
      rgb.height > JPEG_MAX_DIMENSION ||
      rgb.pixels.size() != static_cast<std::size_t>(rgb.width) * rgb.height * 3) {
    return fail("picture size not encodable");
  }
  if (quality < 1) quality = 1;
  if (quality > 100) quality = 100;
  std::string tmp;
  try {
    tmp = path + ".XXXXXX";
  } catch (...) {
    return fail("out of memory");
  }
  const int fd = mkstemp(tmp.data());
  if (fd < 0) return fail("cannot create the file");
  std::FILE* f = fdopen(fd, "wb");
  if (f == nullptr) {
    close(fd);
    std::remove(tmp.c_str());
    return fail("cannot create the file");
  }
  const char* reason = nullptr;
  bool ok = EncodeToFile(rgb, quality, f, &reason);
  if (ok && (std::fflush(f) != 0 || std::ferror(f) != 0)) {
    ok = false;
    reason = "cannot write the file";
  }
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    reason = "cannot write the file";
  }
  if (ok) {
    // mkstemp creates the file readable by its owner only.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(tmp.c_str(), 0666 & ~mask);
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
      ok = false;
      reason = "cannot replace the file";
    }
  }
  if (!ok) {
    std::remove(tmp.c_str());
    return fail(reason);
  }
  return true;
}

}  // namespace formats
