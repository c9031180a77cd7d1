// The program's own folder and executable, and the version compiled into it.
#pragma once

#include <string>

namespace platform {

// The folder of the executable, with a trailing separator; tests point it at
// a temporary folder with SetProgramFolder.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);

// The executable's file name without folder ("Galvora").
std::string ExecutableName();
// The program's four-part file version ("0.9.0.1"), as its version resource gives it.
std::string ProgramFileVersion();

}  // namespace platform
