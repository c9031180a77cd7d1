// Placeholder until this reader is written: every file fails to load.
#include "generation/formats/formats.h"

namespace formats {

bool ReadPcd(const Source&, Image&) { return false; }

}  // namespace formats
