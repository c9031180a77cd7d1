// Desktop services: opening a mail or web link, the screen size, the
// temporary folder and the operating system's version data.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Hands the whole text to the desktop's "open" operation; the result is ignored.
void ShellOpen(const std::string& text);
void SetShellOpenHandler(std::function<void(const std::string&)> handler);

struct ScreenSize {
  int width = 0;
  int height = 0;
};
ScreenSize GetScreenSize();
void SetScreenSize(ScreenSize size);  // tests; {0, 0} restores the real screen

// The temporary folder with its trailing separator.
std::string TempPath();

// What the system reports of its version, in the fields of the platform's
// version record. This system reports a platform identifier of its own.
struct OsVersionInfo {
  std::uint32_t platformId = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::string servicePack;
};
inline constexpr std::uint32_t kPlatformWin9x = 1;
inline constexpr std::uint32_t kPlatformNT = 2;
inline constexpr std::uint32_t kPlatformUnix = 3;
OsVersionInfo GetOsVersion();

// The system registry: nothing is stored there on this system.
enum class RegistryRoot { LocalMachine, CurrentUser };
using RegistryReader = std::function<std::string(RegistryRoot, const std::string& key,
                                                 const std::string& value)>;
RegistryReader SystemRegistry();

}  // namespace platform
