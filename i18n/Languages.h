// Language files and the table of interface texts.
#pragma once

#include <string>

// The text of a key of the text table (empty when none was loaded).
std::string Text(int key);
// Restores the table to its built-in texts (start of the program, tests).
void ResetTextTable();

// True for the help topics that have a text of their own, the help entry
// "11" + topic: 100, 103 to 123, 134 to 137 and 140 to 150.
bool IsHelpTopic(int topic);

// Reads Language/<name>.ini and applies its texts; false when it does not exist.
bool LoadLanguage(const std::string& name);
// Adds the further language files to the Options window's list.
void ListLanguages();
