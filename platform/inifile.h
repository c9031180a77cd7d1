// INI files with the semantics of the Windows profile functions: sections and
// keys matched without regard to case, blanks around keys and values dropped,
// one pair of double quotes around a value removed, values read through a
// 2047-character limit. Every request reads or writes the file at once.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// A write the system refused; what() is "Unable to write to <path>".
class IniWriteError : public std::runtime_error {
 public:
  explicit IniWriteError(const std::string& path);
};

inline constexpr std::size_t kIniValueLimit = 2047;

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}
  const std::string& FileName() const { return path_; }

  // The value of key in section, or `def` when the file, section or key is missing.
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  bool SectionExists(const std::string& section) const;
  // The key names of a section, in file order.
  std::vector<std::string> ReadSection(const std::string& section) const;

  // Changes the key in place, or adds it at the end of its section, or adds
  // the section at the end of the file; every other byte stays as it was. The
  // file is written beside and renamed over, so it is never left half-written.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  // Removes the section with all its keys (nothing when it does not exist).
  void EraseSection(const std::string& section);

 private:
  std::string path_;
};

// Decodes bytes that are not valid UTF-8 as Windows-1252, so texts from files
// written in either encoding reach the program as UTF-8.
std::string ToUtf8(const std::string& bytes);

}  // namespace platform
