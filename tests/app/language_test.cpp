// Language files, the help window and the About window.
#include <QCoreApplication>
#include <QMouseEvent>
#include <filesystem>

#include "generation/Collection.h"
#include "i18n/Languages.h"
#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/About.h"
#include "ui/Help.h"
#include "ui/Logs.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

class LanguageTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    InstallLanguages();
    StartProgram();
    messages_.clear();
  }
  // A language file with the given INFO lines and one caption.
  void WriteLanguage(const std::string& name, const std::string& info,
                     const std::string& body = "1101=Make thumbs\n11014=\"Wrote: \"\n") {
    WriteFile(ProgramDir() + "Language/" + name + ".ini",
              "[INFO]\n" + info + "[" + name + "]\n" + body);
  }
};

TEST_F(LanguageTest, SwitchingLanguageChangesEveryText) {
  OptionsForm->FRLng->click();
  EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), QString::fromUtf8("Générer les thumbnails"));
  EXPECT_EQ(Form1->Fichier1->title(), "Fichier");
  EXPECT_EQ(OptionsForm->PageControl3->tabText(3), QString::fromUtf8("Préférence"));
  EXPECT_EQ(LogForm->PageControl1->tabText(1), QString::fromUtf8("Erreurs reportées"));
  const std::string french = Text(11014);
  OptionsForm->GBLng->click();
  EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), "Generate the thumbnails");
  EXPECT_NE(Text(11014), french);
  EXPECT_EQ(Text(11014).back(), ' ');  // the path follows directly
  // Window captions: help with points, log without, its menu item with.
  EXPECT_EQ(HelpForm->windowTitle().toStdString(), Form1->Aide1->title().toStdString() + "...");
  EXPECT_EQ(Form1->ErreursetLog1->text().toStdString(), LogForm->windowTitle().toStdString() + "...");
  EXPECT_FALSE(Text(11120).empty());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LanguageTest, FurtherLanguageFromTheList) {
  WriteLanguage("Deutsch", "Version=0.9\n", "1101=Vorschaubilder erzeugen\n1325=Mitte\n1326=Rechts\n1327=Links\n");
  OptionsForm->Languagelist->addItem("Deutsch");
  OptionsForm->Languagelist->setCurrentIndex(OptionsForm->Languagelist->count() - 1);
  OptionsForm->AlignComboBox->setCurrentIndex(1);
  OptionsForm->LanguagelistChange();
  EXPECT_TRUE(OptionsForm->OtherLng->isChecked());
  EXPECT_FALSE(OptionsForm->GBLng->isChecked());
  EXPECT_FALSE(OptionsForm->FRLng->isChecked());
  EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), "Vorschaubilder erzeugen");
  EXPECT_EQ(Form1->GeneHTMLBTN->text(), "");  // a missing key empties its control
  EXPECT_EQ(OptionsForm->AlignComboBox->currentIndex(), 1);
  EXPECT_EQ(OptionsForm->AlignComboBox->itemText(1), "Rechts");
}

TEST_F(LanguageTest, OutdatedFilesWarnFirst) {
  struct Case {
    const char* info;
    bool warns;
    bool withAddress;
  } cases[] = {
      {"Version=0.9\n", false, false},
      {"Version=1.2\n", false, false},
      {"Version=0.8\nAuthor=Ann\nEmail=ann@x.example\n", true, true},
      {"Version=0\n", true, false},
      {"", true, false},
      {"Version=0,9\n", true, false},
      {"Version=0.8\nAuthor=Ann\n", true, false},  // no address: the first text alone
  };
  for (const auto& c : cases) {
    // The warning uses the texts loaded before this file: English here.
    const std::string expected =
        Text(11007) + (c.withAddress ? ": Ann " + Text(11008) + ": ann@x.example" : "");
    messages_.clear();
    WriteLanguage("Test", c.info);
    EXPECT_TRUE(LoadLanguage("Test"));
    ASSERT_EQ(messages_.size(), c.warns ? 1u : 0u) << c.info;
    if (c.warns) {
      EXPECT_EQ(messages_[0].text, expected) << c.info;
    }
    EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), "Make thumbs");  // applied all the same
    LoadLanguage("English");
  }
}

TEST_F(LanguageTest, FirstWarningUsesTheBuiltInTexts) {
  ResetTextTable();
  WriteLanguage("Old", "Version=0.5\nAuthor=Ann\nEmail=ann@x.example\n");
  LoadLanguage("Old");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text,
            "Fichier de langue ancien, ou non certifier contacter son auteur: Ann sur son Email: "
            "ann@x.example");
}

TEST_F(LanguageTest, MissingSectionEmptiesEverything) {
  WriteFile(ProgramDir() + "Language/Empty.ini", "[INFO]\nVersion=0.9\n");
  EXPECT_TRUE(LoadLanguage("Empty"));
  EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), "");
  EXPECT_EQ(OptionsForm->Label24->text(), "");
  EXPECT_EQ(Text(11014), "");
  EXPECT_EQ(Text(11120), "");
  ShowHelpTopic(120);
  EXPECT_EQ(HelpForm->HelpMemo->toPlainText(), "");
}

TEST_F(LanguageTest, MissingFileChangesNothingAndSaysWhich) {
  const QString before = Form1->GeneThumbnailsBTN->text();
  EXPECT_FALSE(LoadLanguage("Klingon"));
  EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), before);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].text.find("Language/Klingon.ini"), std::string::npos);
  EXPECT_FALSE(messages_[0].text.empty());
}

TEST_F(LanguageTest, WindowsOneTwoFiveTwoLanguageFilesAreRead) {
  // A file written in Windows-1252 reaches the windows as proper text.
  WriteFile(ProgramDir() + "Language/Latin.ini",
            "[INFO]\nVersion=0.9\n[Latin]\n1101=G\xE9n\xE9rer\n");
  LoadLanguage("Latin");
  EXPECT_EQ(Form1->GeneThumbnailsBTN->text(), QString::fromUtf8("Générer"));
}

TEST_F(AppTest, ListLanguagesOffersTheFurtherFiles) {
  InstallLanguages();
  for (const char* f : {"english.ini", "Deutsch.old.ini", "sub/Italiano.ini", "notes.txt"}) {
    WriteFile(ProgramDir() + "Language/" + f, "[INFO]\n");
  }
  StartProgram();
  std::vector<std::string> items;
  for (int i = 0; i < OptionsForm->Languagelist->count(); ++i) {
    items.push_back(OptionsForm->Languagelist->itemText(i).toStdString());
  }
  EXPECT_EQ(items, (std::vector<std::string>{"Deutsch", "english", "Italiano"}));
  // Choosing a language found only in a subfolder reports its file missing.
  messages_.clear();
  EXPECT_FALSE(LoadLanguage("Italiano"));
  EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(LanguageTest, HelpTopics) {
  struct Case {
    std::uint32_t topic;
    bool hasText;
  } cases[] = {{100, true}, {101, false}, {103, true}, {109, true}, {123, true}, {124, false},
               {133, false}, {134, true}, {137, true}, {138, false}, {140, true}, {150, true},
               {0, false}, {151, false}};
  for (const auto& c : cases) {
    ShowHelpTopic(c.topic);
    EXPECT_EQ(!HelpForm->HelpMemo->toPlainText().isEmpty(), c.hasText) << c.topic;
  }
  // Moving over the language group empties the text; over FRLng shows 11134.
  OptionsForm->show();
  OptionsForm->PageControl3->setCurrentWidget(OptionsForm->TabSheet6);
  QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(OptionsForm->FRLng, &move);
  EXPECT_EQ(HelpForm->HelpMemo->toPlainText().toStdString(), Text(11134));
  QCoreApplication::sendEvent(OptionsForm->GroupBox1, &move);
  EXPECT_EQ(HelpForm->HelpMemo->toPlainText(), "");
}

TEST_F(LanguageTest, SupportMailAndLinks) {
  AboutForm->LabelSupport->setFocus();
  AboutForm->LabelSupportClick(nullptr);
  Form1->SendaEmailtosupport1->trigger();
  ASSERT_EQ(opened_.size(), 2u);
  EXPECT_EQ(opened_[0], opened_[1]);
  EXPECT_EQ(opened_[0], std::string("mailto:") + kSupportAddress +
                            "?subject=About Netquill (Support)&body=Used Version: 0.9 on: "
                            "Unknown Version [1024x768]");
  Form1->OrvanelHomePage1->trigger();
  Form1->GalvoraHomePage1->trigger();
  Form1->newversionofGalvora1->trigger();
  AboutForm->LabelKestrinClick(nullptr);
  ASSERT_EQ(opened_.size(), 6u);
  EXPECT_EQ(opened_[2], kMakerSite);
  EXPECT_EQ(opened_[3], std::string(kMakerSite) + "/software/galvora");
  EXPECT_EQ(opened_[4], std::string(kMakerSite) + "/download");
  EXPECT_EQ(opened_[5].rfind(std::string("mailto:") + kAuthorAddress + "?subject=About Netquill&body=", 0), 0u);
  // A text longer than 256 characters is handed over whole.
  const std::string longer = ComposeMailUrl("mailto:x@y.example?subject=" + std::string(300, 's'));
  EXPECT_GT(longer.size(), 300u);
  EXPECT_EQ(longer.substr(longer.size() - 10), "[1024x768]");
}
