#include "platform/shell.h"

#include <sys/utsname.h>

#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>
#include <cstdlib>

namespace platform {
namespace {
std::function<void(const std::string&)>& OpenHandler() {
  static std::function<void(const std::string&)> h;
  return h;
}
ScreenSize& ScreenOverride() {
  static ScreenSize s;
  return s;
}
}  // namespace

void ShellOpen(const std::string& text) {
  if (OpenHandler()) {
    OpenHandler()(text);
    return;
  }
  QDesktopServices::openUrl(QUrl(QString::fromStdString(text), QUrl::TolerantMode));
}

void SetShellOpenHandler(std::function<void(const std::string&)> handler) {
  OpenHandler() = std::move(handler);
}

ScreenSize GetScreenSize() {
  if (ScreenOverride().width > 0) return ScreenOverride();
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    return {s->geometry().width(), s->geometry().height()};
  }
  return {};
}

void SetScreenSize(ScreenSize size) { ScreenOverride() = size; }

std::string TempPath() {
  std::string t = QDir::tempPath().toStdString();
  if (t.empty() || t.back() != '/') t += '/';
  return t;
}

OsVersionInfo GetOsVersion() {
  OsVersionInfo v;
  v.platformId = kPlatformUnix;
  utsname u{};
  if (uname(&u) == 0) {
    char* end = nullptr;
    v.major = static_cast<std::uint32_t>(std::strtoul(u.release, &end, 10));
    if (end && *end == '.') v.minor = static_cast<std::uint32_t>(std::strtoul(end + 1, &end, 10));
  }
  return v;
}

RegistryReader SystemRegistry() {
  return [](RegistryRoot, const std::string&, const std::string&) { return std::string(); };
}

}  // namespace platform
