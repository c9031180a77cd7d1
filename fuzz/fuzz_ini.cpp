// Fuzz target for the INI layer and the log-file reader: the input is a
// settings, language or log file as a user might have edited it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/inifile.h"
#include "platform/logfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path =
      (std::filesystem::temp_directory_path() / ("fuzz-ini-" + std::to_string(getpid()) + ".ini")).string();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  platform::IniFile ini(path);
  const char* sections[] = {"Language statut", "save pref geneneration", "INFO", "English", ""};
  for (const char* s : sections) {
    for (const char* k : {"Version", "Chemin_NB", "1101", "Etat", ""}) {
      platform::ToUtf8(ini.ReadString(s, k, "default"));
    }
    ini.ReadSection(s);
  }
  try {
    ini.WriteString("save pref geneneration", "Nb colo", "4");
    ini.WriteString("New", "key", "value");
    ini.EraseSection("Chemin");
  } catch (const platform::IniWriteError&) {
  }
  std::vector<std::string> lines;
  ReadLogFile(path, lines);
  std::remove(path.c_str());
  return 0;
}
