// The picture readers and the registry that picks one by extension.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "generation/formats/image.h"

namespace formats {

// What a reader is given: the whole file and its path (a few formats look for
// a companion file beside it).
struct Source {
  std::string_view path;
  std::span<const std::uint8_t> data;
  // When positive, the picture will be reduced to this width (keeping its
  // ratio or not), so a reader may decode at a smaller size that still covers
  // the target; it then sets Image::fullWidth/fullHeight.
  int reduceToWidth = 0;
  bool keepRatio = true;
};

// A reader: true with `out` filled, or false for a file it cannot read. A
// reader never throws and never reads outside `data`.
using ReadFn = bool (*)(const Source& src, Image& out);

enum class Kind {
  Internal,  // read through the picture container
  External,  // read by the imaging control, which converts to JPEG first
};

struct Format {
  std::string_view name;
  std::vector<std::string_view> extensions;  // lower case, with the dot
  ReadFn read;
  Kind kind;
};

// Every registered format, one entry per format.
const std::vector<Format>& Registry();
// The format registered for a lower-cased extension of the given kind, or null.
const Format* FindFormat(std::string_view extension, Kind kind);

// Reads the picture with `format`, then flattens it to three channels: pixels
// with alpha are composited over white, the one rule for transparency.
bool ReadFlattened(const Format& format, const Source& src, Image& out);

// The lower-cased extension of a path's file name, with its dot; empty
// without one. Only ASCII letters are lowered.
std::string LowerExtension(std::string_view path);

// Reads a whole file into memory; false when it cannot be opened or read, or
// is larger than any picture we read (1 GiB).
bool LoadFileBytes(const std::string& path, std::vector<std::uint8_t>& out);

// ---- Readers, one per file in this folder ----
bool ReadJpeg(const Source& src, Image& out);
bool ReadGif(const Source& src, Image& out);
bool ReadBmp(const Source& src, Image& out);  // "BM" files and packed DIBs
bool ReadPng(const Source& src, Image& out);
bool ReadTiff(const Source& src, Image& out);
bool ReadEmf(const Source& src, Image& out);
bool ReadWmf(const Source& src, Image& out);
bool ReadEps(const Source& src, Image& out);
bool ReadTga(const Source& src, Image& out);
bool ReadPsd(const Source& src, Image& out);
bool ReadPsp(const Source& src, Image& out);
bool ReadCel(const Source& src, Image& out);
bool ReadPcd(const Source& src, Image& out);
bool ReadPcx(const Source& src, Image& out);
bool ReadNetpbm(const Source& src, Image& out);
bool ReadCut(const Source& src, Image& out);
bool ReadHaloPalette(const Source& src, Image& out);
bool ReadSgi(const Source& src, Image& out);
bool ReadRla(const Source& src, Image& out);
bool ReadWpg(const Source& src, Image& out);
bool ReadArt(const Source& src, Image& out);
bool ReadHzr(const Source& src, Image& out);
bool ReadCur(const Source& src, Image& out);
bool ReadIlbm(const Source& src, Image& out);
bool ReadGem(const Source& src, Image& out);
bool ReadMacPaint(const Source& src, Image& out);
bool ReadMsp(const Source& src, Image& out);
bool ReadSunRaster(const Source& src, Image& out);

// Decodes a packed DIB (BITMAPINFOHEADER or BITMAPCOREHEADER, colour table,
// then the bits) as embedded in metafiles and cursors. `bits`, when not empty,
// holds the pixel data separately from the header (metafile records).
bool DecodeDib(std::span<const std::uint8_t> header, std::span<const std::uint8_t> bits,
               Image& out);

}  // namespace formats
