#include "settings/GestionINI.h"

#include "app/Startup.h"
#include "i18n/Languages.h"
#include "platform/appdir.h"
#include "platform/dialogs.h"
#include "platform/dirsearch.h"
#include "platform/inifile.h"
#include "settings/Options.h"
#include "settings/ProceduresREGINI.h"
#include "ui/Logs.h"
#include "ui/Unit1.h"

namespace {

std::string LogPath(const char* name) { return platform::ProgramFolder() + "Logs/" + name; }

void RestoreLog(const char* name, QListWidget* list, bool sorted) {
  const std::string path = LogPath(name);
  if (!platform::FileExists(path)) return;
  std::vector<std::string> lines;
  if (!ReadLogFile(path, lines)) {
    platform::ShowMessage({"Unable to read " + path, "", platform::Buttons::Ok,
                           platform::Icon::Warning});
    return;
  }
  SetListLines(list, lines, sorted);
}

void SaveLog(const char* name, const QListWidget* list) {
  const std::string path = LogPath(name);
  if (!WriteLogFile(path, ListLines(list))) {
    platform::ShowMessage({"Unable to write to " + path, "", platform::Buttons::Ok,
                           platform::Icon::Warning});
  }
}

void SelectTab(QTabWidget* tabs, std::int32_t index) {
  if (index >= 0 && index < tabs->count()) tabs->setCurrentIndex(index);
}

void LoadMemo(const char* countKey, const char* lineKey, QPlainTextEdit* memo) {
  for (const auto& line : ReadIniList(countKey, lineKey)) AppendMemoLine(memo, line);
}

void SaveMemo(const char* countKey, const char* lineKey, const QPlainTextEdit* memo) {
  WriteIniList(countKey, lineKey, MemoLines(memo));
}

}  // namespace

void SaveTypeChecks() {
  auto* list = OptionsForm->FileExtentionList;
  for (int i = 0; i < list->RowCount(); ++i) {
    WriteIniBool("File: " + list->Row(i)->text(0).toStdString(), list->Checked(i));
  }
}

void LoadTypeChecks() {
  auto* list = OptionsForm->FileExtentionList;
  for (int i = 0; i < list->RowCount(); ++i) {
    list->SetChecked(i, ReadIniBool("File: " + list->Row(i)->text(0).toStdString(), list->Checked(i)));
  }
}

void LoadSettings() {
  TOptionsForm* o = OptionsForm;
  OpenSettingsStore();

  CurrentSection = "Language statut";
  LoadRadioButton("LanguageFR", o->FRLng);
  LoadRadioButton("LanguageGB", o->GBLng);
  LoadRadioButton("LanguageOther", o->OtherLng);
  o->Languagelist->setEditable(true);
  o->Languagelist->setCurrentText(QString::fromStdString(ReadIniString("LanguageOtherTXT", "")));
  o->Languagelist->setEditable(false);
  if (o->GBLng->isChecked()) {
    LoadLanguage("English");
  } else if (o->FRLng->isChecked()) {
    LoadLanguage("French");
  } else if (o->OtherLng->isChecked()) {
    LoadLanguage(o->Languagelist->currentText().toStdString());
  }

  CurrentSection = "Chemin";
  LoadCheckBox("Cheminsave", o->CheckBox6);
  if (o->CheckBox6->isChecked()) {
    // A folder that no longer exists gives way to the default one.
    const std::string path = ReadIniString("CheminPath", "");
    const std::string folder = platform::DirectoryExists(path) ? path : DefaultFolder();
    o->DirTree1->OpenPath(folder);
    o->DirTree1->SetSelectedPath(folder);
  }

  CurrentSection = "save fenetre";
  LoadCheckBox("Etat", o->CheckBox5);
  if (o->CheckBox5->isChecked()) {
    SelectTab(LogForm->PageControl1, ReadIniInteger("PageControl1", 0));
    SelectTab(o->PageControl3, ReadIniInteger("PageControl3", 0));
    SelectTab(o->PageControl4, ReadIniInteger("PageControl4", 0));
  }

  CurrentSection = "save pref geneneration";
  LoadCheckBox("Etat", o->CheckBox7);
  if (o->CheckBox7->isChecked()) {
    LoadRadioButton("Tout ini", Form1->RadioButton2);
    LoadRadioButton("Mettre a jour", Form1->RadioButton1);
    LoadCheckBox("Preview", Form1->CheckBox4);
    LoadCheckBox("ADV stat", Form1->CheckBox3);
    LoadCheckBox("Chemin multiple", o->CheckBox8);
    LoadListBox("Chemin", o->ListBox3);
    LoadEdit("Titre Pages", o->HTMLEdit1);
    LoadEdit("Nom Pages", o->HTMLEdit2);
    LoadSpinEdit("Taille Bordure", o->HTMLSpinEdit3);
    LoadSpinEdit("Commencer a", o->HTMLSpinEdit2);
    LoadSpinEdit("Nb Images", o->HTMLSpinEdit1);
    LoadCheckBox("Placer img Tabl", o->Table);
    LoadSpinEdit("Nb colo", o->NBcoloSpinEdit);
    LoadSpinEdit("Larg colo", o->LargColoSpinEdit);
    LoadCheckBox("Placer taille", o->Taille);
    const std::int32_t align = ReadIniInteger("Align txt", o->AlignComboBox->currentIndex());
    o->AlignComboBox->setCurrentIndex(align >= -1 && align < o->AlignComboBox->count() ? align : -1);
    LoadTypeChecks();
    LoadSpinEdit("Largeur Thumbnails", o->SpinEdit2);
    LoadCheckBox("Respect Ratio", o->CheckBox2);
    LoadSpinEdit("Taux de compression", o->SpinEdit1);
    LoadEdit("Sous rep", o->Edit1);
    LoadEdit("Prefixe", o->Edit5);
    LoadCheckBox("Code HTML DEBUT", o->CheckBox10);
    LoadCheckBox("Code HTML FIN", o->CheckBox11);
    LoadEdit("META1", o->MetaContent1);
    LoadEdit("META2", o->MetaContent2);
    LoadEdit("META3", o->MetaContent3);
    LoadEdit("META4", o->MetaContent4);
    LoadEdit("META5", o->MetaContent5);
    LoadMemo("Nombre HTML DEBUT", "HTML DEBUT Chemin", o->HTMLMemo1);
    LoadMemo("Nombre HTML FIN", "HTML FIN Chemin", o->HTMLMemo2);
    o->SetBackgroundColor(static_cast<std::uint32_t>(ReadIniInteger("Couleur Fond", 0)));
    o->SetTextColor(static_cast<std::uint32_t>(ReadIniInteger("Couleur TXT", 16777215)));
  }

  CurrentSection = "LOGs/Files";
  LoadCheckBox("Erreurs", o->CheckBox12);
  if (o->CheckBox12->isChecked()) RestoreLog("Error.LOG", LogForm->ERRORLOG, true);
  LoadCheckBox("Actions", o->CheckBox13);
  if (o->CheckBox13->isChecked()) RestoreLog("Action.LOG", LogForm->ACTIONLOG, false);

  CloseSettingsStore();
}

void SaveSettings() {
  TOptionsForm* o = OptionsForm;
  OpenSettingsStore();

  CurrentSection = "Language statut";
  SaveRadioButton("LanguageFR", o->FRLng);
  SaveRadioButton("LanguageGB", o->GBLng);
  SaveRadioButton("LanguageOther", o->OtherLng);
  WriteIniString("LanguageOtherTXT", o->Languagelist->currentText().toStdString());

  CurrentSection = "Chemin";
  SaveCheckBox("Cheminsave", o->CheckBox6);
  WriteIniString("CheminPath", o->DirTree1->SelectedPath());

  CurrentSection = "save fenetre";
  SaveCheckBox("Etat", o->CheckBox5);
  WriteIniInteger("PageControl1", LogForm->PageControl1->currentIndex());
  WriteIniInteger("PageControl3", o->PageControl3->currentIndex());
  WriteIniInteger("PageControl4", o->PageControl4->currentIndex());

  CurrentSection = "save pref geneneration";
  SaveCheckBox("Etat", o->CheckBox7);
  SaveRadioButton("Tout ini", Form1->RadioButton2);
  SaveRadioButton("Mettre a jour", Form1->RadioButton1);
  SaveCheckBox("Preview", Form1->CheckBox4);
  SaveCheckBox("ADV stat", Form1->CheckBox3);
  SaveCheckBox("Chemin multiple", o->CheckBox8);
  SaveListBox("Chemin", o->ListBox3);
  SaveCheckBox("Code HTML DEBUT", o->CheckBox10);
  SaveMemo("Nombre HTML DEBUT", "HTML DEBUT Chemin", o->HTMLMemo1);
  SaveCheckBox("Code HTML FIN", o->CheckBox11);
  SaveMemo("Nombre HTML FIN", "HTML FIN Chemin", o->HTMLMemo2);
  SaveEdit("Titre Pages", o->HTMLEdit1);
  SaveEdit("Nom Pages", o->HTMLEdit2);
  SaveSpinEdit("Taille Bordure", o->HTMLSpinEdit3);
  SaveSpinEdit("Commencer a", o->HTMLSpinEdit2);
  SaveSpinEdit("Nb Images", o->HTMLSpinEdit1);
  SaveCheckBox("Placer img Tabl", o->Table);
  SaveSpinEdit("Nb colo", o->NBcoloSpinEdit);
  SaveSpinEdit("Larg colo", o->LargColoSpinEdit);
  SaveCheckBox("Placer taille", o->Taille);
  WriteIniInteger("Align txt", o->AlignComboBox->currentIndex());
  WriteIniInteger("Couleur Fond", static_cast<std::int32_t>(o->ColorDialog1.Color));
  WriteIniInteger("Couleur TXT", static_cast<std::int32_t>(o->ColorDialog2.Color));
  SaveEdit("META1", o->MetaContent1);
  SaveEdit("META2", o->MetaContent2);
  SaveEdit("META3", o->MetaContent3);
  SaveEdit("META4", o->MetaContent4);
  SaveEdit("META5", o->MetaContent5);
  SaveTypeChecks();
  SaveSpinEdit("Largeur Thumbnails", o->SpinEdit2);
  SaveCheckBox("Respect Ratio", o->CheckBox2);
  SaveSpinEdit("Taux de compression", o->SpinEdit1);
  SaveEdit("Sous rep", o->Edit1);
  SaveEdit("Prefixe", o->Edit5);

  CurrentSection = "LOGs/Files";
  SaveCheckBox("Erreurs", o->CheckBox12);
  if (o->CheckBox12->isChecked()) SaveLog("Error.LOG", LogForm->ERRORLOG);
  SaveCheckBox("Actions", o->CheckBox13);
  if (o->CheckBox13->isChecked()) SaveLog("Action.LOG", LogForm->ACTIONLOG);

  CloseSettingsStore();
}

void EraseSettings() {
  platform::IniFile ini(platform::ProgramFolder() + "Galvora.ini");
  for (const char* section : {"Chemin", "save fenetre", "save pref geneneration",
                              "save pref nettoyage", "affichage", "LOGs/Files"}) {
    ini.EraseSection(section);
  }
}
