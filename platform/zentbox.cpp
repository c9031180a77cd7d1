#include "platform/zentbox.h"

#include <vector>

#include "generation/formats/formats.h"
#include "generation/formats/jpeg.h"

namespace platform {
namespace {
bool& Installed() {
  static bool installed = true;
  return installed;
}

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}
}  // namespace

std::unique_ptr<TZentbox> TZentbox::Create() {
  if (!Installed()) throw std::runtime_error("The imaging control is not installed");
  return std::unique_ptr<TZentbox>(new TZentbox());
}

void TZentbox::SetInstalled(bool installed) { Installed() = installed; }

void TZentbox::SetJPGSaveName(const std::string& path) {
  const formats::Format* format = formats::FindFormat(LowerExtension(fileName_),
                                                      formats::Kind::External);
  if (format == nullptr) throw std::runtime_error("Unsupported picture type: " + fileName_);
  std::vector<std::uint8_t> bytes;
  if (!formats::LoadFileBytes(fileName_, bytes)) throw std::runtime_error("Cannot read " + fileName_);
  formats::Source src;
  src.path = fileName_;
  src.data = bytes;
  formats::Image image;
  if (!formats::ReadFlattened(*format, src, image)) {
    throw std::runtime_error("Cannot convert " + fileName_);
  }
  std::string error;
  if (!formats::WriteJpegFile(image, kQuality, path, &error)) throw std::runtime_error(error);
}

}  // namespace platform
