// Start-up and shutdown of the program.
#pragma once

#include <string>

// Shows the splash, creates the five windows in order (the Options window's
// creation runs the start-up steps) and hides the splash. False when a window
// could not be created.
bool CreateApplicationWindows();
// The same in its three parts.
void ShowSplash();
bool CreateWindows();
void ReleaseSplash();
// Destroys the windows and the program-wide objects (end of the program, tests).
void DestroyApplicationWindows();

// The closing steps of the main window: closing line, settings saved or
// erased, system image list released, end of the program requested. False when
// saving failed: the error was shown and the program keeps running.
bool RunClosingSteps();
// True once the closing steps have asked the program to end.
bool TerminateRequested();

// Steps of the Options window's creation.
void SetAboutVersionTexts();
void PrepareProgramFolders();
void SetStartupImages();
void AddStartupLine();
// The folder shown before any is chosen: the user's Pictures folder, or home.
std::string DefaultFolder();
