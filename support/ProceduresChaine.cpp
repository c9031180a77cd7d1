#include "support/ProceduresChaine.h"

#include <cstdio>
#include <string_view>

#include "platform/dirsearch.h"

std::string TextAfter(const std::string& sep, const std::string& text) {
  if (sep.empty()) return {};
  const std::size_t p = text.find(sep);
  return p == std::string::npos ? std::string() : text.substr(p + sep.size());
}

std::string TextBefore(const std::string& sep, const std::string& text) {
  if (sep.empty()) return {};
  const std::size_t p = text.find(sep);
  return p == std::string::npos ? std::string() : text.substr(0, p);
}

std::int32_t CountOccurrences(const std::string& sep, const std::string& text) {
  if (sep.empty()) return 0;
  std::int32_t n = 0;
  for (std::size_t p = text.find(sep); p != std::string::npos; p = text.find(sep, p + sep.size())) {
    ++n;
  }
  return n;
}

std::string TextAfterNth(const std::string& sep, const std::string& text, std::int32_t n) {
  std::string t = text;
  for (std::int32_t i = 0; i < n; ++i) t = TextAfter(sep, t);
  return t;
}

std::string NthField(const std::string& sep, const std::string& text, std::int32_t n) {
  if (sep.empty()) return {};
  std::string work = text + sep;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::size_t p = work.find(sep);
    if (p == std::string::npos) return {};
    work.erase(0, p + sep.size());
  }
  const std::size_t p = work.find(sep);
  return p == std::string::npos ? std::string() : work.substr(0, p);
}

std::string ColorToHtml(std::int32_t color) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%06X", static_cast<std::uint32_t>(color));
  const std::string h = hex;
  return "#" + h.substr(4, 2) + h.substr(2, 2) + h.substr(0, 2);
}

std::int64_t FileSizeOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return 0;
  const auto entries = platform::SearchFolder(folder, name, platform::faAnyFile);
  return entries.empty() ? 0 : entries.front().size;
}

std::string TempDirectory() { return platform::TempPath(); }

// The folder of the system's own programs and data, the nearest thing to it here.
std::string WindowsDirectory() { return "/usr"; }

std::string ReadRegistryString(const std::string& keyPath, const std::string& valueName,
                               platform::RegistryRoot root,
                               const platform::RegistryReader& registry) {
  std::string v = registry ? registry(root, keyPath, valueName) : std::string();
  const std::size_t zero = v.find('\0');
  if (zero != std::string::npos) v.resize(zero);
  return v;
}

namespace {
std::string TrimSpaces(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}
}  // namespace

std::string WindowsVersionName(const platform::OsVersionInfo& v,
                               const platform::RegistryReader& registry) {
  struct Class {
    const char* name;
    bool nt;
    std::uint32_t expectedBuild;  // 0: any
  };
  static constexpr Class kClasses[] = {
      {"Unknown Version", false, 0}, {"Windows 95", false, 0},
      {"Windows 95 OSR2", false, 0x04000457}, {"Windows 98", false, 0x040A07CE},
      {"Windows 98 SE", false, 0x040A08AE}, {"Windows NT3", true, 0},
      {"Windows NT4", true, 1381}, {"Windows 2000", true, 2195}};
  const std::string sp = TrimSpaces(v.servicePack);
  int cls = 0;
  if (v.platformId == platform::kPlatformWin9x) {
    if (v.minor == 0) cls = sp == "B" ? 2 : 1;
    if (v.minor == 10) cls = sp == "A" ? 4 : 3;
  } else if (v.platformId == platform::kPlatformNT) {
    if (v.major == 3) cls = 5;
    if (v.major == 4) cls = 6;
    if (v.major == 5) cls = 7;
  }
  if (kClasses[cls].expectedBuild != 0 && v.build != kClasses[cls].expectedBuild) cls = 0;
  std::string name = kClasses[cls].name;
  if (!kClasses[cls].nt) return name;
  const std::string type =
      ReadRegistryString("System\\CurrentControlSet\\Control\\ProductOptions", "ProductType",
                         platform::RegistryRoot::LocalMachine, registry);
  if (EqualsNoCase(type, "WinNT")) {
    name += " WorkStation";
  } else if (EqualsNoCase(type, "ServerNT")) {
    name += " Server";
  } else if (EqualsNoCase(type, "LanmanNT")) {
    name += " AdvancedServer";
  } else {
    name += " Unknown";
  }
  return name + " " + sp;
}
