// Picture types, the readers that bring a picture into WorkBitmap, and the
// scaling step of the thumbnail run.
#pragma once

#include <array>
#include <string>

#include "generation/formats/image.h"
#include "platform/widgets.h"

struct TSupportedFile {
  const char* Extension;  // lower case, with the dot
  bool Internal;          // read by the program; false: by the imaging control
  const char* Description;
};

extern const std::array<TSupportedFile, 52> SupportedFiles;
inline constexpr const char* kInternalText = "INTERNAL";
inline constexpr const char* kExternalText = "EXTERNAL";

// Row 1-52 of the first row whose extension equals the text exactly, or -1.
int FindSupportedFile(const std::string& extension);
bool IsInternalType(const std::string& extension);
bool IsExternalType(const std::string& extension);

// The working bitmap of one picture. Width and Height are the picture's; the
// pixels may be a reduced copy when a reader decoded at a smaller size for a
// thumbnail (asked through ReduceToWidth and KeepRatio).
struct TWorkBitmap {
  int PixelFormat = 24;  // bits per pixel: 8, 24 or 32
  formats::Image Pixels;
  int ReduceToWidth = 0;
  bool KeepRatio = true;

  int Width() const { return Pixels.fullWidth > 0 ? Pixels.fullWidth : Pixels.width; }
  int Height() const { return Pixels.fullHeight > 0 ? Pixels.fullHeight : Pixels.height; }
};

// Created by the thumbnail run for one picture and freed after it.
extern TWorkBitmap* WorkBitmap;

bool LoadJpegPicture(const std::string& path);
bool LoadGifPicture(const std::string& path);
bool LoadGenericPicture(const std::string& path);
bool LoadExternalPicture(const std::string& path);
// Loads a Windows bitmap into WorkBitmap; throws when it cannot.
void LoadBitmapFile(const std::string& path);
// Path of the imaging control's temporary JPEG file.
std::string ExternalTempPath();

// Scales the bitmap in place to `width` (and `height`, or the picture's
// proportion when keepRatio), averaging the pixels under each new pixel.
// Throws std::domain_error for a bitmap of height 0 with keepRatio.
void ResizeBitmap(TWorkBitmap& bitmap, int width, int height, bool keepRatio);
// The height ResizeBitmap gives a w × h picture scaled to `width` with its ratio.
int RatioHeight(int w, int h, int width);

// Adds one row per supported type to the picture-type list.
void FillTypeList(platform::TExtListView* list);
