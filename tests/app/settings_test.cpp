// The settings file and the control-state helpers.
#include <filesystem>
#include <regex>

#include "app/Startup.h"
#include "generation/Collection.h"
#include "settings/GestionINI.h"
#include "settings/Options.h"
#include "settings/ProceduresREGINI.h"
#include "tests/app/app_fixture.h"
#include "ui/Logs.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

namespace {
std::string Ini(const fs::path& dir) { return (dir / "Galvora.ini").string(); }
}  // namespace

TEST_F(AppTest, EverySettingSurvivesARestart) {
  InstallLanguages();
  StartProgram();
  TOptionsForm* o = OptionsForm;
  const std::string pics = MakeFolder("chosen");
  o->DirTree1->SetSelectedPath(pics);
  o->CheckBox8->setChecked(true);
  AddPathToList(MakeFolder("one"), o->ListBox3);
  AddPathToList(MakeFolder("two"), o->ListBox3);
  o->HTMLEdit1->setText("Title");
  o->HTMLEdit2->setText("page");
  o->HTMLSpinEdit1->SetValue(12);
  o->HTMLSpinEdit2->SetValue(3);
  o->HTMLSpinEdit3->SetValue(4);
  o->Table->setChecked(false);
  o->NBcoloSpinEdit->SetValue(6);
  o->LargColoSpinEdit->SetValue(2);
  o->Taille->setChecked(false);
  o->AlignComboBox->setCurrentIndex(2);
  o->SetBackgroundColor(0x123456);
  o->SetTextColor(0xABCDEF);
  o->CheckBox10->setChecked(true);
  o->HTMLMemo1->setPlainText("<B>\n\n</B>");
  o->CheckBox11->setChecked(true);
  o->HTMLMemo2->setPlainText("end");
  o->MetaContent1->setText("k");
  o->MetaContent5->setText("c");
  o->FileExtentionList->SetChecked(0, false);
  o->FileExtentionList->SetChecked(51, true);
  o->SpinEdit2->SetValue(160);
  o->CheckBox2->setChecked(false);
  o->SpinEdit1->SetValue(75);
  o->Edit1->setText("thumbs");
  o->Edit5->setText("t_");
  o->CheckBox13->setChecked(true);
  o->FRLng->setChecked(true);
  o->PageControl3->setCurrentIndex(2);
  o->PageControl4->setCurrentIndex(1);
  Form1->RadioButton1->setChecked(true);
  Form1->CheckBox4->setChecked(true);
  Form1->CheckBox3->setChecked(false);
  LogForm->PageControl1->setCurrentIndex(1);
  StopProgram();

  const std::string file = ReadFile(Ini(dir_));
  for (const char* line : {"[save pref geneneration]", "File: .jpg=0", "File: .ras=1",
                           "Chemin_NB=2", "Couleur TXT=11259375", "Couleur Fond=1193046",
                           "Align txt=2", "Nombre HTML DEBUT=3", "HTML DEBUT Chemin1=",
                           "LanguageFR=1", "LanguageGB=0", "Taux de compression=75"}) {
    EXPECT_NE(file.find(std::string(line) + "\r\n"), std::string::npos) << line;
  }

  StartProgram();
  o = OptionsForm;
  EXPECT_EQ(o->DirTree1->SelectedPath() + "/", pics);
  EXPECT_TRUE(o->CheckBox8->isChecked());
  EXPECT_EQ(o->ListBox3->count(), 2);
  EXPECT_TRUE(o->Button9->isEnabled());
  EXPECT_EQ(o->HTMLEdit1->text(), "Title");
  EXPECT_EQ(o->HTMLEdit2->text(), "page");
  EXPECT_EQ(o->HTMLSpinEdit1->Value(), 12);
  EXPECT_EQ(o->HTMLSpinEdit2->Value(), 3);
  EXPECT_EQ(o->HTMLSpinEdit3->Value(), 4);
  EXPECT_FALSE(o->Table->isChecked());
  EXPECT_FALSE(o->NBcoloSpinEdit->isEnabled());  // the dependency rule followed
  EXPECT_EQ(o->NBcoloSpinEdit->Value(), 6);
  EXPECT_EQ(o->LargColoSpinEdit->Value(), 2);
  EXPECT_FALSE(o->Taille->isChecked());
  EXPECT_EQ(o->AlignComboBox->currentIndex(), 2);
  EXPECT_EQ(o->ColorDialog1.Color, 0x123456u);
  EXPECT_EQ(o->ColorDialog2.Color, 0xABCDEFu);
  EXPECT_TRUE(o->HTMLMemo1->isEnabled());
  EXPECT_EQ(o->HTMLMemo1->toPlainText(), "<B>\n\n</B>");
  EXPECT_EQ(o->HTMLMemo2->toPlainText(), "end");
  EXPECT_EQ(o->MetaContent1->text(), "k");
  EXPECT_EQ(o->MetaContent5->text(), "c");
  EXPECT_FALSE(o->FileExtentionList->Checked(0));
  EXPECT_TRUE(o->FileExtentionList->Checked(51));
  EXPECT_EQ(o->SpinEdit2->Value(), 160);
  EXPECT_FALSE(o->CheckBox2->isChecked());
  EXPECT_EQ(o->SpinEdit1->Value(), 75);
  EXPECT_EQ(o->Edit1->text(), "thumbs");
  EXPECT_EQ(o->Edit5->text(), "t_");
  EXPECT_TRUE(o->CheckBox13->isChecked());
  EXPECT_TRUE(o->FRLng->isChecked());
  EXPECT_FALSE(o->GBLng->isChecked());
  EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), QString::fromUtf8("Générer les thumbnails"));
  EXPECT_EQ(o->PageControl3->currentIndex(), 2);
  EXPECT_EQ(o->PageControl4->currentIndex(), 1);
  EXPECT_TRUE(Form1->RadioButton1->isChecked());
  EXPECT_TRUE(Form1->CheckBox4->isChecked());
  EXPECT_FALSE(Form1->CheckBox3->isChecked());
  EXPECT_FALSE(Form1->Tick1->isEnabled());
  EXPECT_EQ(LogForm->PageControl1->currentIndex(), 1);
}

TEST_F(AppTest, HandWrittenSettingsLoadAsTheyCan) {
  InstallLanguages();
  WriteFile(Ini(dir_),
            "[ language STATUT ]\n  LanguageGB = 1 \n"
            "[Chemin]\nCheminsave=1\nCheminPath=/no/such/folder\n"
            "[save fenetre]\nEtat=1\nPageControl3=17\nPageControl4=-2\n"
            "[SAVE PREF GENENERATION]\n"
            "etat=1\n"
            "Nb colo=  lots\n"                 // not a number: the control keeps its default
            "Larg colo=0x1F\n"                 // hexadecimal
            "Taille Bordure=500\n"             // out of range: brought to the bound
            "Placer taille=5\n"                // any non-zero number is true
            "Placer img Tabl=yes\n"            // not a number: the default (on)
            "Titre Pages=\"  spaced  \"\n"
            "Nom Pages=" + std::string(3000, 'n') + "\n"
            "Chemin_NB=3\nChemin_N0=/a/\n"     // the missing items come as empty entries
            "Nombre HTML FIN=2\nHTML FIN Chemin0=x\n"
            "Couleur Fond=oops\n");
  StartProgram();
  TOptionsForm* o = OptionsForm;
  EXPECT_EQ(o->DirTree1->SelectedPath(), DefaultFolder());
  EXPECT_EQ(o->PageControl3->currentIndex(), 0);
  EXPECT_EQ(o->NBcoloSpinEdit->Value(), 4);
  EXPECT_EQ(o->LargColoSpinEdit->Value(), 31);
  EXPECT_EQ(o->HTMLSpinEdit3->Value(), 100);
  EXPECT_TRUE(o->Taille->isChecked());
  EXPECT_TRUE(o->Table->isChecked());
  EXPECT_EQ(o->HTMLEdit1->text(), "  spaced  ");
  EXPECT_EQ(o->HTMLEdit2->text().size(), 2047);
  ASSERT_EQ(o->ListBox3->count(), 3);
  EXPECT_EQ(o->ListBox3->item(1)->text(), "");
  EXPECT_EQ(o->HTMLMemo2->toPlainText(), "x\n");
  EXPECT_EQ(o->ColorDialog1.Color, 0u);
  EXPECT_EQ(o->ColorDialog2.Color, 0xFFFFFFu);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(AppTest, NoLanguageButtonOnLoadsNoLanguage) {
  InstallLanguages();
  WriteFile(Ini(dir_), "[Language statut]\nLanguageFR=0\nLanguageGB=0\nLanguageOther=0\n");
  StartProgram();
  EXPECT_FALSE(OptionsForm->GBLng->isChecked());
  EXPECT_FALSE(OptionsForm->FRLng->isChecked());
  EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), QString::fromUtf8("Générer les thumbnails"));
  EXPECT_TRUE(messages_.empty());
}

TEST_F(AppTest, GenerationSettingsAreRestoredOnlyWhenAskedFor) {
  StartProgram();
  OptionsForm->SpinEdit1->SetValue(75);
  OptionsForm->CheckBox7->setChecked(false);
  StopProgram();
  StartProgram();
  EXPECT_EQ(OptionsForm->SpinEdit1->Value(), 50);
  EXPECT_FALSE(OptionsForm->CheckBox7->isChecked());
}

TEST_F(AppTest, ShorterListKeepsStaleItemsUnread) {
  StartProgram();
  for (const char* f : {"a", "b", "c", "d", "e"}) AddPathToList(MakeFolder(f), OptionsForm->ListBox3);
  StopProgram();
  StartProgram();
  while (OptionsForm->ListBox3->count() > 3) delete OptionsForm->ListBox3->takeItem(0);
  StopProgram();
  const std::string file = ReadFile(Ini(dir_));
  EXPECT_NE(file.find("Chemin_NB=3\r\n"), std::string::npos);
  EXPECT_NE(file.find("Chemin_N4="), std::string::npos);
  StartProgram();
  EXPECT_EQ(OptionsForm->ListBox3->count(), 3);
}

TEST_F(AppTest, EraseSettingsKeepsTheLanguageAndWritesNoLog) {
  WriteFile(Ini(dir_), "[Language statut]\r\nLanguageGB=1\r\n[Chemin]\r\nCheminsave=1\r\n"
                       "[affichage]\r\nx=1\r\n[save pref nettoyage]\r\ny=2\r\n[Other]\r\nz=3\r\n");
  StartProgram();
  fs::remove_all(dir_ / "Logs");
  fs::create_directories(dir_ / "Logs");
  EraseSettings();
  EXPECT_EQ(ReadFile(Ini(dir_)), "[Language statut]\r\nLanguageGB=1\r\n[Other]\r\nz=3\r\n");
  EXPECT_TRUE(fs::is_empty(dir_ / "Logs"));
}

TEST_F(AppTest, ActionLogOfTwoUses) {
  InstallLanguages();
  StartProgram();
  OptionsForm->CheckBox13->setChecked(true);
  StopProgram();
  StartProgram();
  StopProgram();
  const std::string log = ReadFile((dir_ / "Logs" / "Action.LOG").string());
  // start, close, empty; start, close, empty.
  const std::string use = "[^\r\n]+: Galvora started\\.\r\n[^\r\n]+: Galvora closed\\.\r\n\r\n";
  const std::regex shape(use + use);
  EXPECT_TRUE(std::regex_match(log, shape)) << log;
}

TEST(IniHelpers, ValueEncodings) {
  std::int32_t v = 0;
  struct Case {
    const char* text;
    bool ok;
    std::int32_t value;
  } cases[] = {{"42", true, 42},   {"-7", true, -7},     {"0x1F", true, 31},
               {"0X10", true, 16}, {"0x", false, 0},     {"yes", false, 0},
               {"", false, 0},     {"12a", false, 0},    {"0xFFFFFFFF", true, -1},
               {"2147483648", false, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(ParseIniInteger(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}
