#include "platform/dirsearch.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

namespace platform {

bool MatchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*.*" || mask == "*") return true;
  return fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

std::vector<FoundEntry> SearchFolder(const std::string& folder, const std::string& mask,
                                     std::uint32_t allowed) {
  std::vector<FoundEntry> result;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()),
                                          closedir);
  if (!dir) return result;
  while (dirent* d = readdir(dir.get())) {
    std::string name = d->d_name;
    if (!MatchesMask(name, mask)) continue;
    struct stat st {};
    if (stat((folder + name).c_str(), &st) != 0 && lstat((folder + name).c_str(), &st) != 0) {
      continue;
    }
    FoundEntry e;
    e.name = name;
    e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
    e.time = static_cast<std::int64_t>(st.st_mtime);
    if (S_ISDIR(st.st_mode)) e.attr |= faDirectory;
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) e.attr |= faSysFile;
    if (name.size() > 1 && name[0] == '.' && name != "..") e.attr |= faHidden;
    if (access((folder + name).c_str(), W_OK) != 0) e.attr |= faReadOnly;
    if (!(e.attr & faDirectory)) e.attr |= faArchive;
    const std::uint32_t special = e.attr & (faHidden | faSysFile | faDirectory);
    if ((special & ~allowed) != 0) continue;
    result.push_back(std::move(e));
  }
  return result;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return DirectoryExists(path);
}

}  // namespace platform
