// The settings file: the controls' states are saved at shutdown and restored
// at start-up, with the log lists in their own files.
#pragma once

void LoadSettings();
void SaveSettings();
void EraseSettings();
void SaveTypeChecks();
void LoadTypeChecks();
