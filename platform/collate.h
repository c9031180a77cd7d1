// Locale-aware comparison of texts that ignores case, as the user's locale orders them.
#pragma once

#include <string>
#include <vector>

namespace platform {

// <0, 0 or >0 as a sorts before, with or after b, ignoring case.
int CompareTextLocale(const std::string& a, const std::string& b);

// Sorts texts by CompareTextLocale, fast for long lists (one sort key per text).
// Texts equal under it are ordered by their bytes and kept; identical texts are
// kept once.
void SortUniqueLocale(std::vector<std::string>& texts);

}  // namespace platform
