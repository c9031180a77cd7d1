// The directory search with its attribute filter. A name starting with "." is
// hidden; masks are matched without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum FileAttr : std::uint32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
  faNormal = 0x80,
  faAnyFile = 0x3F,
};

struct FoundEntry {
  std::string name;
  std::int64_t size = 0;
  std::uint32_t attr = 0;
  std::int64_t time = 0;  // last write, seconds since the epoch
};

// Entries of `folder` (with its trailing separator) whose names match `mask`
// ("*" and "?" wildcards; "*.*" matches every name). Entries whose attributes
// include hidden, system or directory are returned only when `allowed` has
// that bit, as the system search does. "." and ".." are reported as folders.
// A folder that cannot be read gives no entries.
std::vector<FoundEntry> SearchFolder(const std::string& folder, const std::string& mask,
                                     std::uint32_t allowed);

// True when `name` matches the wildcard mask without regard to case.
bool MatchesMask(const std::string& name, const std::string& mask);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates a folder with its missing parents; false when it cannot.
bool ForceDirectories(const std::string& path);

}  // namespace platform
