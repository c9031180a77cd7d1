// JPEG pieces beyond the reader: the stored size of a JPEG file (for pages
// that show thumbnails) and the thumbnail encoder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "generation/formats/image.h"

namespace formats {

// Reads only the header of the JPEG file at `path`: true with the size stored
// in its frame header (no EXIF rotation applied), false when the file cannot
// be opened or is not a JPEG.
bool ReadJpegSize(const std::string& path, int& width, int& height);

// Encodes a three-channel picture as a progressive JPEG at `quality` (1-100),
// every other setting at the codec's defaults. The file is written beside
// `path` under a temporary name and renamed over `path` when complete, so a
// failure never leaves a half-written file. False, with a short reason in
// `error` when it is not null, on any failure.
bool WriteJpegFile(const Image& rgb, int quality, const std::string& path, std::string* error);

// The EXIF orientation (1-8) stored in a JPEG's APP1 segment, or 1 when there
// is none or it is unreadable. `app1` is the segment's payload ("Exif\0\0"...).
int ExifOrientation(std::span<const std::uint8_t> app1);

}  // namespace formats
