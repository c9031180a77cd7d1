// Small text, path and system helpers. Every search for a separator is
// case-sensitive and finds the first occurrence from the left; an empty
// separator is never found.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shell.h"

// The text after the first separator; empty when there is none.
std::string TextAfter(const std::string& sep, const std::string& text);
// The text before the first separator; empty (not the whole text) when there is none.
std::string TextBefore(const std::string& sep, const std::string& text);
// Non-overlapping occurrences counted from the left; 0 for an empty separator.
std::int32_t CountOccurrences(const std::string& sep, const std::string& text);
// TextAfter applied n times; n <= 0 gives the text unchanged.
std::string TextAfterNth(const std::string& sep, const std::string& text, std::int32_t n);
// Field n (from 0) of the text split at the separator.
std::string NthField(const std::string& sep, const std::string& text, std::int32_t n);
// "#RRGGBB" for a colour with red in its low byte.
std::string ColorToHtml(std::int32_t color);
// The size of the first entry matching the path (file, folder or pattern); 0
// when none. Files of 2 GiB and more report their true size.
std::int64_t FileSizeOf(const std::string& path);
// The temporary folder, ending with the separator.
std::string TempDirectory();
// The system folder.
std::string WindowsDirectory();
// A text value of the registry; empty when it cannot be read.
std::string ReadRegistryString(const std::string& keyPath, const std::string& valueName,
                               platform::RegistryRoot root,
                               const platform::RegistryReader& registry = platform::SystemRegistry());
// The running system's name as the support mail gives it.
std::string WindowsVersionName(const platform::OsVersionInfo& version = platform::GetOsVersion(),
                               const platform::RegistryReader& registry = platform::SystemRegistry());
