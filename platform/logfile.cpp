#include "platform/logfile.h"

#include <exception>
#include <fstream>
#include <iterator>

bool WriteLogFile(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const auto& l : lines) out << l << "\r\n";
  out.flush();
  return static_cast<bool>(out);
}

bool ReadLogFile(const std::string& path, std::vector<std::string>& lines) {
  std::string bytes;
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
  } catch (const std::exception&) {
    return false;  // a folder, or a read error
  }
  lines.clear();
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return true;
}
