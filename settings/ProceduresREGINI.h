// Storing control states in the settings file: typed values under a section
// and a key, and one save and one load operation per kind of control. Every
// operation exists with an explicit section and with CurrentSection.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QComboBox>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/widgets.h"

// The section used by the operations that take none; initially "Save".
extern std::string CurrentSection;

// Opens the store on the executable's INI file / releases it.
void OpenSettingsStore();
void CloseSettingsStore();
// Path of the open store's file.
std::string SettingsStorePath();

void WriteIniString(const std::string& section, const std::string& key, const std::string& text);
void WriteIniInteger(const std::string& section, const std::string& key, std::int32_t value);
void WriteIniBool(const std::string& section, const std::string& key, bool value);
std::string ReadIniString(const std::string& section, const std::string& key, const std::string& def);
std::int32_t ReadIniInteger(const std::string& section, const std::string& key, std::int32_t def);
bool ReadIniBool(const std::string& section, const std::string& key, bool def);

void WriteIniString(const std::string& key, const std::string& text);
void WriteIniInteger(const std::string& key, std::int32_t value);
void WriteIniBool(const std::string& key, bool value);
std::string ReadIniString(const std::string& key, const std::string& def);
std::int32_t ReadIniInteger(const std::string& key, std::int32_t def);
bool ReadIniBool(const std::string& key, bool def);

// A list in the current section: its count under countKey, then one key per
// item, itemKey followed by the index from 0. Reading appends what the count
// promises (missing items empty), at most 100,000 items.
void WriteIniList(const std::string& countKey, const std::string& itemKey,
                  const std::vector<std::string>& items);
std::vector<std::string> ReadIniList(const std::string& countKey, const std::string& itemKey);

void SaveEdit(const std::string& key, const QLineEdit* edit);
void SaveCheckBox(const std::string& key, const QCheckBox* box);
void SaveSpinEdit(const std::string& key, const platform::TSpinEdit* spin);
void SaveRadioButton(const std::string& key, const QRadioButton* radio);
void SaveListBox(const std::string& key, const QListWidget* list);
void LoadEdit(const std::string& key, QLineEdit* edit);
void LoadEdit(const std::string& key, QComboBox* combo);
void LoadCheckBox(const std::string& key, QCheckBox* box);
void LoadSpinEdit(const std::string& key, platform::TSpinEdit* spin);
void LoadRadioButton(const std::string& key, QRadioButton* radio);
void LoadListBox(const std::string& key, QListWidget* list);

// Parses a whole number as the store reads it: decimal, or "0x" hexadecimal.
bool ParseIniInteger(const std::string& text, std::int32_t& value);
