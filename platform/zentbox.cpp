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

}  // namespace

std::unique_ptr<TZentbox> TZentbox::Create() {
  if (!Installed()) throw std::runtime_error("The imaging control is not installed");
  return std::unique_ptr<TZentbox>(new TZentbox());
}

void TZentbox::SetInstalled(bool installed) { Installed() = installed; }

void TZentbox::SetJPGSaveName(const std::string& path) {
  const formats::Format* format = formats::FindFormat(formats::LowerExtension(fileName_),
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
