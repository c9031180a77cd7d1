#include "settings/ProceduresREGINI.h"

#include <algorithm>
#include <memory>

#include "platform/appdir.h"
#include "platform/inifile.h"

std::string CurrentSection = "Save";

namespace {
std::unique_ptr<platform::IniFile>& Store() {
  static std::unique_ptr<platform::IniFile> store;
  return store;
}

platform::IniFile& Open() {
  if (!Store()) OpenSettingsStore();
  return *Store();
}
}  // namespace

void OpenSettingsStore() {
  Store() = std::make_unique<platform::IniFile>(platform::ProgramFolder() +
                                                platform::ExecutableName() + ".ini");
}

void CloseSettingsStore() { Store().reset(); }

std::string SettingsStorePath() { return Open().FileName(); }

bool ParseIniInteger(const std::string& text, std::int32_t& value) {
  std::string t = text;
  int base = 10;
  std::size_t start = 0;
  bool negative = false;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    start = 2;
  } else if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    start = 1;
  }
  if (start >= t.size()) return false;
  std::int64_t v = 0;
  for (std::size_t i = start; i < t.size(); ++i) {
    const char c = t[i];
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return false;
    }
    v = v * base + d;
    if (v > 0xFFFFFFFFLL) return false;
  }
  if (base == 16) {
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return true;
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

void WriteIniString(const std::string& section, const std::string& key, const std::string& text) {
  Open().WriteString(section, key, text);
}
void WriteIniInteger(const std::string& section, const std::string& key, std::int32_t value) {
  WriteIniString(section, key, std::to_string(value));
}
void WriteIniBool(const std::string& section, const std::string& key, bool value) {
  WriteIniString(section, key, value ? "1" : "0");
}
std::string ReadIniString(const std::string& section, const std::string& key,
                          const std::string& def) {
  return Open().ReadString(section, key, def);
}
std::int32_t ReadIniInteger(const std::string& section, const std::string& key, std::int32_t def) {
  std::int32_t v = 0;
  return ParseIniInteger(Open().ReadString(section, key, ""), v) ? v : def;
}
bool ReadIniBool(const std::string& section, const std::string& key, bool def) {
  return ReadIniInteger(section, key, def ? 1 : 0) != 0;
}

void WriteIniString(const std::string& key, const std::string& text) {
  WriteIniString(CurrentSection, key, text);
}
void WriteIniInteger(const std::string& key, std::int32_t value) {
  WriteIniInteger(CurrentSection, key, value);
}
void WriteIniBool(const std::string& key, bool value) { WriteIniBool(CurrentSection, key, value); }
std::string ReadIniString(const std::string& key, const std::string& def) {
  return ReadIniString(CurrentSection, key, def);
}
std::int32_t ReadIniInteger(const std::string& key, std::int32_t def) {
  return ReadIniInteger(CurrentSection, key, def);
}
bool ReadIniBool(const std::string& key, bool def) { return ReadIniBool(CurrentSection, key, def); }

void SaveEdit(const std::string& key, const QLineEdit* edit) {
  WriteIniString(key, edit->text().toStdString());
}
void SaveCheckBox(const std::string& key, const QCheckBox* box) {
  WriteIniBool(key, box->isChecked());
}
void SaveSpinEdit(const std::string& key, const platform::TSpinEdit* spin) {
  WriteIniInteger(key, spin->Value());
}
void SaveRadioButton(const std::string& key, const QRadioButton* radio) {
  WriteIniBool(key, radio->isChecked());
}
void WriteIniList(const std::string& countKey, const std::string& itemKey,
                  const std::vector<std::string>& items) {
  WriteIniInteger(countKey, static_cast<std::int32_t>(items.size()));
  for (std::size_t i = 0; i < items.size(); ++i) {
    WriteIniString(itemKey + std::to_string(i), items[i]);
  }
}

std::vector<std::string> ReadIniList(const std::string& countKey, const std::string& itemKey) {
  // A hand-edited count cannot make start-up read for ever.
  const std::int32_t count = std::min(ReadIniInteger(countKey, 0), 100000);
  std::vector<std::string> items;
  for (std::int32_t i = 0; i < count; ++i) {
    items.push_back(ReadIniString(itemKey + std::to_string(i), ""));
  }
  return items;
}

void SaveListBox(const std::string& key, const QListWidget* list) {
  std::vector<std::string> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
  WriteIniList(key + "_NB", key + "_N", items);
}

void LoadEdit(const std::string& key, QLineEdit* edit) {
  edit->setText(QString::fromStdString(ReadIniString(key, edit->text().toStdString())));
}
void LoadEdit(const std::string& key, QComboBox* combo) {
  combo->setCurrentText(QString::fromStdString(ReadIniString(key, combo->currentText().toStdString())));
}
void LoadCheckBox(const std::string& key, QCheckBox* box) {
  box->setChecked(ReadIniBool(key, box->isChecked()));
}
void LoadSpinEdit(const std::string& key, platform::TSpinEdit* spin) {
  spin->SetValue(ReadIniInteger(key, spin->Value()));
}
void LoadRadioButton(const std::string& key, QRadioButton* radio) {
  const bool on = ReadIniBool(key, radio->isChecked());
  if (on == radio->isChecked()) return;
  // A radio button in a group cannot be switched off by itself; turning it
  // off leaves the group without a selection, as the stored state says.
  if (!on) {
    const bool exclusive = radio->autoExclusive();
    radio->setAutoExclusive(false);
    radio->setChecked(false);
    radio->setAutoExclusive(exclusive);
  } else {
    radio->setChecked(true);
  }
}
void LoadListBox(const std::string& key, QListWidget* list) {
  for (const auto& item : ReadIniList(key + "_NB", key + "_N")) {
    list->addItem(QString::fromStdString(item));
  }
}
