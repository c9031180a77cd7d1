// Placeholder until this reader is written: every file fails to load.
#include "generation/formats/formats.h"

namespace formats {

bool ReadBmp(const Source&, Image&) { return false; }

}  // namespace formats

namespace formats {
bool DecodeDib(std::span<const std::uint8_t>, std::span<const std::uint8_t>, Image&) { return false; }
}  // namespace formats
