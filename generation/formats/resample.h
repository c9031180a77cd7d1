// Scaling a whole picture to a new size, as the thumbnail run does.
#pragma once

#include "generation/formats/image.h"

namespace formats {

// Stretches the whole of `src` (three or four channels) into a new picture
// of width × height with the same channel count. When a side is reduced,
// every destination pixel is the area-weighted average of the source pixels
// under it (partly covered pixels count by their covered fraction); when a
// side is enlarged, samples are interpolated linearly. The same size is a
// plain copy. `dst` is left empty (width 0) when src is empty or the new
// size is not allowed (DimensionsOk).
void ResampleArea(const Image& src, Image& dst, int width, int height);

}  // namespace formats
