#include "platform/appdir.h"

#include <filesystem>

namespace platform {
namespace {
std::string& OverrideFolder() {
  static std::string folder;
  return folder;
}

std::filesystem::path ExecutablePath() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path("Galvora") : p;
}
}  // namespace

std::string ProgramFolder() {
  if (!OverrideFolder().empty()) return OverrideFolder();
  std::string dir = ExecutablePath().parent_path().string();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

void SetProgramFolder(const std::string& folder) {
  OverrideFolder() = folder;
  if (!folder.empty() && folder.back() != '/') OverrideFolder() += '/';
}

std::string ExecutableName() { return "Galvora"; }

std::string ProgramFileVersion() { return GALVORA_FILE_VERSION; }

}  // namespace platform
