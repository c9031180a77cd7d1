// Stand-in for the external imaging control: given a source picture
// (FileName), assigning JPGSaveName writes that picture as a JPEG file at the
// target path before returning, or throws.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace platform {

class TZentbox {
 public:
  // A new instance; throws std::runtime_error when the control is not available.
  static std::unique_ptr<TZentbox> Create();
  // Tests: makes Create() fail, as with a control that is not installed.
  static void SetInstalled(bool installed);

  void SetFileName(const std::string& path) { fileName_ = path; }
  const std::string& FileName() const { return fileName_; }
  // Converts FileName to a JPEG file at `path`; throws std::runtime_error on failure.
  void SetJPGSaveName(const std::string& path);

  static constexpr int kQuality = 95;

 private:
  TZentbox() = default;
  std::string fileName_;
};

}  // namespace platform
