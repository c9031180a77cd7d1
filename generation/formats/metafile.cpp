// Placeholder until the record player is written: every file fails to load.
#include "generation/formats/formats.h"

namespace formats {

bool ReadEmf(const Source&, Image&) { return false; }
bool ReadWmf(const Source&, Image&) { return false; }

}  // namespace formats
