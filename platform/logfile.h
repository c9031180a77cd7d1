// Log files: one line per entry with CR LF ends, read back with any line end.
#pragma once

#include <string>
#include <vector>

// Creates or replaces the file; false when it cannot be written.
bool WriteLogFile(const std::string& path, const std::vector<std::string>& lines);
// Reads every line (a CR LF pair, a lone CR or a lone LF ends one; the last
// needs none); false when the file cannot be read.
bool ReadLogFile(const std::string& path, std::vector<std::string>& lines);
