// Language files and the table of interface texts.
#pragma once

#include <string>

// The text of a key of the text table (empty when none was loaded).
std::string Text(int key);
// Restores the table to its built-in texts (start of the program, tests).
void ResetTextTable();

// Reads Language/<name>.ini and applies its texts; false when it does not exist.
bool LoadLanguage(const std::string& name);
// Adds the further language files to the Options window's list.
void ListLanguages();
