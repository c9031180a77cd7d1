#include "i18n/Languages.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QWidget>
#include <map>

#include "generation/Collection.h"
#include "platform/appdir.h"
#include "platform/dialogs.h"
#include "platform/dirsearch.h"
#include "platform/inifile.h"
#include "settings/Options.h"
#include "support/ProceduresChaine.h"
#include "ui/About.h"
#include "ui/Help.h"
#include "ui/Logs.h"
#include "ui/Unit1.h"

namespace {

// The texts of the table, by key.
std::map<int, std::string>& Table() {
  static std::map<int, std::string> table;
  return table;
}

// Said when a language file is missing, in both shipped languages since the
// file that would translate it is the one missing.
constexpr const char* kMissingLanguage = "Language file not found / Fichier de langue introuvable";

const std::map<int, std::string>& BuiltIn() {
  static const std::map<int, std::string> builtIn = {
      {11007, "Fichier de langue ancien, ou non certifier contacter son auteur"},
      {11008, "sur son Email"},
      {11016, "Version Info"},
      {11017, "Loading INIs Files"},
  };
  return builtIn;
}

constexpr int kTableKeys[] = {11001, 11007, 11008, 11011, 11012, 11014, 11016, 11017,
                              11018, 11019, 11020, 11021, 11022, 11025, 11026};

void SetCaption(QObject* control, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (auto* a = qobject_cast<QAction*>(control)) {
    a->setText(t);
  } else if (auto* m = qobject_cast<QMenu*>(control)) {
    m->setTitle(t);
  } else if (auto* l = qobject_cast<QLabel*>(control)) {
    l->setText(t);
  } else if (auto* b = qobject_cast<QAbstractButton*>(control)) {
    b->setText(t);
  } else if (auto* g = qobject_cast<QGroupBox*>(control)) {
    g->setTitle(t);
  } else if (auto* w = qobject_cast<QWidget*>(control)) {
    // A tab sheet is captioned by its tab; a window by its title.
    auto* tabs = w->parentWidget() ? qobject_cast<QTabWidget*>(w->parentWidget()->parentWidget())
                                   : nullptr;
    if (tabs != nullptr && tabs->indexOf(w) >= 0) {
      tabs->setTabText(tabs->indexOf(w), t);
    } else {
      w->setWindowTitle(t);
    }
  }
}

}  // namespace

bool IsHelpTopic(int topic) {
  return topic == 100 || (topic >= 103 && topic <= 123) || (topic >= 134 && topic <= 137) ||
         (topic >= 140 && topic <= 150);
}

std::string Text(int key) {
  auto it = Table().find(key);
  if (it != Table().end()) return it->second;
  auto b = BuiltIn().find(key);
  return b != BuiltIn().end() ? b->second : std::string();
}

void ResetTextTable() { Table().clear(); }

bool LoadLanguage(const std::string& name) {
  const std::string path = platform::ProgramFolder() + "Language/" + name + ".ini";
  if (!platform::FileExists(path)) {
    platform::ShowMessage({std::string(kMissingLanguage) + ": " + path, "", platform::Buttons::Ok,
                           platform::Icon::Warning});
    return false;
  }
  const platform::IniFile ini(path);
  auto read = [&](const std::string& section, const std::string& key) {
    return platform::ToUtf8(ini.ReadString(section, key, ""));
  };

  // Outdated-file check, with the warning texts as they were before this load.
  const std::string versionText = read("INFO", "Version");
  bool ok = false;
  const float fileVersion = QString::fromStdString(versionText).trimmed().toFloat(&ok);
  const float programVersion =
      QString::fromStdString(AboutForm ? AboutForm->VersionHint() : "0.9").toFloat();
  if (!((ok ? fileVersion : 0.0f) >= programVersion)) {
    const std::string author = read("INFO", "Author");
    const std::string email = read("INFO", "Email");
    std::string text = Text(11007);
    if (!author.empty() && !email.empty()) {
      text += ": " + author + " " + Text(11008) + ": " + email;
    }
    platform::ShowMessage({text, "", platform::Buttons::Ok, platform::Icon::Warning});
  }

  auto T = [&](const char* key) { return read(name, key); };
  for (int key : kTableKeys) Table()[key] = read(name, std::to_string(key));
  for (int key = 11100; key <= 11150; ++key) {
    if (IsHelpTopic(key - 11000)) Table()[key] = read(name, std::to_string(key));
  }

  TForm1* f = Form1;
  const std::pair<const char*, std::vector<QObject*>> main[] = {
      {"0000", {f->Aide1}}, {"0001", {f->Fichier1}}, {"0002", {f->Afficher1}},
      {"0200", {f->Gnrationdefichiers1}}, {"1100", {f->Statistiquesdexcution1}},
      {"0004", {f->Fermer1, f->CloseButton}}, {"0005", {f->ButtonCancel}},
      {"1101", {f->GeneThumbnailsBTN}}, {"1102", {f->GeneHTMLBTN}}, {"1103", {f->GroupBox9}},
      {"1104", {f->RadioButton2}}, {"1105", {f->RadioButton1}}, {"1106", {f->CheckBox4}},
      {"1107", {f->GroupBox8}}, {"1108", {f->CheckBox3}}, {"1109", {f->Label60}},
      {"1110", {f->Label59}}, {"1111", {f->Label55}}, {"1112", {f->Label64}},
      {"1113", {f->Label71}}, {"1114", {f->Label76}}, {"1115", {f->Label63}},
      {"1116", {f->Label65}}, {"1117", {f->Label69}}, {"0711", {f->OrvanelHomePage1}},
      {"0712", {f->GalvoraHomePage1}}, {"0713", {f->newversionofGalvora1}},
      {"0714", {f->SendaEmailtosupport1}}, {"0715", {f->Webpages1}}, {"0716", {f->Apropos1}},
  };
  for (const auto& [key, controls] : main) {
    for (QObject* c : controls) SetCaption(c, T(key));
  }
  SetCaption(f->Aide2, T("0000") + "...");
  SetCaption(f->Option2, T("1200") + "...");
  SetCaption(f->ErreursetLog1, T("0500") + "...");
  if (HelpForm) HelpForm->setWindowTitle(QString::fromStdString(T("0000") + "..."));

  if (TLogForm* l = LogForm) {
    l->setWindowTitle(QString::fromStdString(T("0500")));
    l->PageControl1->setTabText(l->PageControl1->indexOf(l->TabSheet7), QString::fromStdString(T("0501")));
    l->PageControl1->setTabText(l->PageControl1->indexOf(l->TabSheet5), QString::fromStdString(T("0502")));
    SetCaption(l->Actionseffectues1, T("30001"));
    SetCaption(l->Effacerleslogs1, T("30002"));
    SetCaption(l->Erreursreportes1, T("30101"));
    SetCaption(l->Effacerleslogs2, T("30102"));
  }

  if (TAboutForm* a = AboutForm) {
    const std::pair<const char*, QObject*> about[] = {
        {"0004", a->CloseButton}, {"0705", a->Label54}, {"0706", a->Label1},
        {"0707", a->Label3}, {"0708", a->Label53}, {"0709", a->LabelSupport},
        {"0710", a->Label4}, {"0711", a->OrvanelHome}, {"0712", a->GalvoraHome},
        {"0713", a->DownHome}};
    for (const auto& [key, control] : about) SetCaption(control, T(key));
  }

  if (TOptionsForm* o = OptionsForm) {
    const std::pair<const char*, QObject*> options[] = {
        {"0201", o->Label52}, {"1200", o->TabSheet12}, {"1201", o->CheckBox8},
        {"1202", o->Button9}, {"1203", o->Button13}, {"1204", o->GroupBox7},
        {"1300", o->TabSheet13}, {"1301", o->CheckBox10}, {"1302", o->GroupBox16},
        {"1303", o->Label23}, {"1304", o->Label24}, {"1331", o->Label24},
        {"1305", o->GroupBox17}, {"1306", o->Label80}, {"1317", o->Label81},
        {"1318", o->HTMLTAB1}, {"1319", o->HTMLTAB2}, {"1328", o->CheckBox11},
        {"1329", o->Label53}, {"1330", o->Label56}, {"1332", o->Label61},
        {"1320", o->Table}, {"1321", o->Label86}, {"1322", o->Label87}, {"1323", o->Label88},
        {"1324", o->Taille}, {"1333", o->TabSheet3}, {"1400", o->TabSheet14},
        {"1401", o->GroupBox11}, {"1402", o->GroupBox6}, {"1403", o->Label26},
        {"1404", o->CheckBox2}, {"1405", o->Label25}, {"1406", o->Label83},
        {"1407", o->Label84}, {"0600", o->TabSheet6}, {"0601", o->GroupBox1},
        {"0602", o->FRLng}, {"0603", o->GBLng}, {"0604", o->Label46}, {"0605", o->CheckBox6},
        {"0606", o->CheckBox5}, {"0607", o->CheckBox7}, {"0609", o->BitBtn1},
        {"0613", o->GroupBox20}, {"0614", o->CheckBox12}, {"0615", o->CheckBox13}};
    for (const auto& [key, control] : options) SetCaption(control, T(key));
    const int selected = o->AlignComboBox->currentIndex();
    o->AlignComboBox->clear();
    for (const char* key : {"1325", "1326", "1327"}) {
      o->AlignComboBox->addItem(QString::fromStdString(T(key)));
    }
    o->AlignComboBox->setCurrentIndex(selected);
  }
  return true;
}

void ListLanguages() {
  WalkFolders(platform::ProgramFolder() + "Language", "*.ini",
              [](const std::string& folder, const platform::FoundEntry& e) {
                return Form1->LogFiles(folder, e);
              });
  const int n = FileList->Count();
  for (int i = 0; i < n; ++i) {
    const std::string& path = (*FileList)[i];
    const std::string name = path.substr(path.rfind('/') + 1);
    if (name == "English.ini" || name == "French.ini") continue;
    OptionsForm->Languagelist->addItem(QString::fromStdString(TextBefore(".", name)));
  }
}
