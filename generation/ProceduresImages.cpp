#include "generation/ProceduresImages.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "generation/ProceduresSysImgList.h"
#include "generation/formats/formats.h"
#include "generation/formats/resample.h"
#include "platform/appdir.h"
#include "platform/zentbox.h"
#include "support/ProceduresChaine.h"

TWorkBitmap* WorkBitmap = nullptr;

const std::array<TSupportedFile, 52> SupportedFiles = {{
    {".jpg", true, "Joint Photographics Experts Group"},
    {".jpeg", true, "Joint Photographics Experts Group"},
    {".jpe", true, "Joint Photographics Experts Group"},
    {".jfif", true, "Joint Photographics Experts Group"},
    {".bmp", true, "Standard Windows Bitmap"},
    {".rle", true, "Standard Windows Run-length Encoded Bitmap"},
    {".dib", true, "Standard Windows Device Independent Bitmaps"},
    {".emf", true, "Standard Windows Enhanced Meta-files"},
    {".wmf", true, "Standard Windows Meta-files"},
    {".gif", true, "CompuServe Graphics Interchange Format"},
    {".png", true, "CompuServe Portable Network Graphics"},
    {".tif", true, "Tagged Image File Format"},
    {".tiff", true, "Tagged Image File Format (Macintosh)"},
    {".fax", true, "Tagged Image File Format (fax)"},
    {".eps", true, "Encapsulated Postscript images"},
    {".tga", true, "Truevision Targa"},
    {".vst", true, "Truevision"},
    {".icb", true, "Truevision"},
    {".vda", true, "Truevision"},
    {".win", true, "Truevision"},
    {".psd", true, "Photoshop"},
    {".pdd", true, "Photoshop"},
    {".psp", true, "Paint Shop Pro"},
    {".cel", true, "Autodesk"},
    {".pic", true, "Autodesk"},
    {".pcd", true, "Kodak Photo-CD"},
    {".pcx", true, "ZSoft PC Paintbrush"},
    {".pcc", true, "ZSoft PC Paintbrush"},
    {".scr", true, "Word 5.x screen capture"},
    {".ppm", true, "Portable Pixmapped"},
    {".pgm", true, "Portable Greymapped"},
    {".pbm", true, "Portable Bitmapped"},
    {".cut", true, "Dr. Halo"},
    {".pal", true, "Dr. Halo"},
    {".bw", true, "SGI Black & White"},
    {".rgb", true, "SGI True Color"},
    {".rgba", true, "SGI True Color"},
    {".sgi", true, "SGI True Color"},
    {".rla", true, "SGI Wavefront"},
    {".rpf", true, "SGI Wavefront"},
    {".wpg", false, "Word Perfect Graphics (Bitmap)"},
    {".art", false, "PFS First Publisher"},
    {".hzr", false, "Slow Scan TV"},
    {".cur", false, "Standard Windows Cursor"},
    {".iff", false, "Interchange File Format (Amiga Electronic Arts Deluxe Paint)"},
    {".lbm", false, "Interchange File Format (Amiga Electronic Arts Deluxe Paint)"},
    {".gem", false, "GEM Raster (Digital Research)"},
    {".img", false, "GEM Raster (Digital Research)"},
    {".mac", false, "Macintosh Paint"},
    {".msp", false, "Microsoft Paint"},
    {".pnm", false, "Portable Anymapped Graphics"},
    {".ras", false, "Sun Raster files"},
}};

int FindSupportedFile(const std::string& extension) {
  for (std::size_t i = 0; i < SupportedFiles.size(); ++i) {
    if (extension == SupportedFiles[i].Extension) return static_cast<int>(i) + 1;
  }
  return -1;
}

bool IsInternalType(const std::string& extension) {
  const int row = FindSupportedFile(extension);
  return row > 0 && SupportedFiles[row - 1].Internal;
}

bool IsExternalType(const std::string& extension) {
  const int row = FindSupportedFile(extension);
  return row > 0 && !SupportedFiles[row - 1].Internal;
}

namespace {

// Reads the file with `format` into WorkBitmap as a 24-bit picture.
bool DecodeInto(const formats::Format& format, const std::string& path,
                const std::vector<std::uint8_t>& bytes) {
  formats::Source src;
  src.path = path;
  src.data = bytes;
  src.reduceToWidth = WorkBitmap->ReduceToWidth;
  src.keepRatio = WorkBitmap->KeepRatio;
  formats::Image image;
  if (!formats::ReadFlattened(format, src, image)) return false;
  WorkBitmap->PixelFormat = 24;
  WorkBitmap->Pixels = std::move(image);
  return true;
}

bool ReadInto(const formats::Format& format, const std::string& path) {
  std::vector<std::uint8_t> bytes;
  return formats::LoadFileBytes(path, bytes) && DecodeInto(format, path, bytes);
}

}  // namespace

bool LoadJpegPicture(const std::string& path) {
  static const formats::Format kJpeg{"JPEG", {}, formats::ReadJpeg, formats::Kind::Internal};
  return ReadInto(kJpeg, path);
}

bool LoadGifPicture(const std::string& path) {
  static const formats::Format kGif{"GIF", {}, formats::ReadGif, formats::Kind::Internal};
  return ReadInto(kGif, path);
}

bool LoadGenericPicture(const std::string& path) {
  const formats::Format* format =
      formats::FindFormat(formats::LowerExtension(path), formats::Kind::Internal);
  return format != nullptr && ReadInto(*format, path);
}

void LoadBitmapFile(const std::string& path) {
  static const formats::Format kBmp{"BMP", {}, formats::ReadBmp, formats::Kind::Internal};
  std::vector<std::uint8_t> bytes;
  if (!formats::LoadFileBytes(path, bytes) || !DecodeInto(kBmp, path, bytes)) {
    throw std::runtime_error("Bitmap image is not valid");
  }
  // The pixel format is the one stored in the file's header.
  if (bytes.size() >= 30) {
    const int bits = bytes[28] | (bytes[29] << 8);
    WorkBitmap->PixelFormat = bits <= 8 ? 8 : bits == 32 ? 32 : 24;
  }
}

std::string ExternalTempPath() { return TempDirectory() + platform::ExecutableName() + ".TMP"; }

bool LoadExternalPicture(const std::string& path) {
  // A control that cannot be created is reported by LoadPicture's guard.
  std::unique_ptr<platform::TZentbox> box = platform::TZentbox::Create();
  const std::string tmp = ExternalTempPath();
  try {
    box->SetFileName(path);
    box->SetJPGSaveName(tmp);
    const bool ok = LoadJpegPicture(tmp);
    std::remove(tmp.c_str());
    return ok;
  } catch (const std::exception&) {
    return false;
  }
}

int RatioHeight(int w, int h, int width) {
  const double r = static_cast<double>(w) / static_cast<double>(h);
  return static_cast<int>(std::trunc(static_cast<long double>(width) / static_cast<long double>(r)));
}

void ResizeBitmap(TWorkBitmap& bitmap, int width, int height, bool keepRatio) {
  const int oldW = bitmap.Width();
  const int oldH = bitmap.Height();
  if (keepRatio) {
    if (oldH == 0) throw std::domain_error("Division by zero");
    height = RatioHeight(oldW, oldH, width);
  }
  if (width <= 0 || height <= 0) {
    bitmap.Pixels = formats::Image();
    return;
  }
  formats::Image stretched;
  formats::ResampleArea(bitmap.Pixels, stretched, width, height);
  if (stretched.width != width) throw std::runtime_error("Cannot scale the picture");
  // The picture is drawn while the bitmap still has its old size: what lies
  // beyond the old width or height stays white.
  if (width > oldW || height > oldH) {
    for (int y = 0; y < height; ++y) {
      std::uint8_t* row = stretched.Row(y);
      for (int x = 0; x < width; ++x) {
        if (x >= oldW || y >= oldH) row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = 255;
      }
    }
  }
  bitmap.Pixels = std::move(stretched);
}

void FillTypeList(platform::TExtListView* list) {
  for (std::size_t i = 0; i < SupportedFiles.size(); ++i) {
    const TSupportedFile& f = SupportedFiles[i];
    auto* item = new QTreeWidgetItem(list);
    item->setText(0, f.Extension);
    item->setCheckState(0, i < 4 ? Qt::Checked : Qt::Unchecked);
    const int icon = SystemIconIndex(f.Extension, 128, 1);
    if (SystemSmallImages != nullptr) item->setIcon(0, SystemSmallImages->Icon(icon));
    item->setText(1, f.Internal ? kInternalText : kExternalText);
    item->setText(2, f.Description);
  }
}
