// The Options window: defaults, ranges, dependency rules, colours, folders.
#include "generation/Collection.h"
#include "settings/Options.h"
#include "tests/app/app_fixture.h"
#include "ui/Unit1.h"

TEST_F(AppTest, NewInstallationDefaults) {
  InstallLanguages();
  StartProgram();
  TOptionsForm* o = OptionsForm;
  EXPECT_EQ(o->HTMLEdit1->text(), "Web");
  EXPECT_EQ(o->HTMLEdit2->text(), "Index");
  EXPECT_EQ(o->HTMLSpinEdit1->Value(), 0);
  EXPECT_EQ(o->HTMLSpinEdit2->Value(), 0);
  EXPECT_EQ(o->HTMLSpinEdit3->Value(), 0);
  EXPECT_TRUE(o->Table->isChecked());
  EXPECT_EQ(o->NBcoloSpinEdit->Value(), 4);
  EXPECT_EQ(o->LargColoSpinEdit->Value(), 3);
  EXPECT_EQ(o->AlignComboBox->currentIndex(), 0);
  EXPECT_TRUE(o->Taille->isChecked());
  EXPECT_EQ(o->ColorDialog1.Color, 0u);
  EXPECT_EQ(o->ColorDialog2.Color, 0xFFFFFFu);
  EXPECT_FALSE(o->CheckBox10->isChecked());
  EXPECT_FALSE(o->HTMLMemo1->isEnabled());
  EXPECT_EQ(o->SpinEdit2->Value(), 100);
  EXPECT_TRUE(o->CheckBox2->isChecked());
  EXPECT_EQ(o->SpinEdit1->Value(), 50);
  EXPECT_EQ(o->Edit1->text(), "Smallprev");
  EXPECT_EQ(o->Edit5->text(), "Small");
  EXPECT_FALSE(o->CheckBox8->isChecked());
  EXPECT_FALSE(o->ListBox3->isEnabled());
  EXPECT_TRUE(o->GBLng->isChecked());
  ASSERT_EQ(o->FileExtentionList->RowCount(), 52);
  for (int i = 0; i < 52; ++i) {
    EXPECT_EQ(o->FileExtentionList->Checked(i), i < 4) << i;
    EXPECT_EQ(o->FileExtentionList->Row(i)->text(1), i < 40 ? "INTERNAL" : "EXTERNAL") << i;
  }
  EXPECT_EQ(o->FileExtentionList->Row(51)->text(2), "Sun Raster files");
  EXPECT_FALSE(o->DirTree1->SelectedPath().empty());
}

TEST_F(AppTest, SpinEditsStayInTheirRange) {
  StartProgram();
  struct Case {
    platform::TSpinEdit* spin;
    const char* text;
    int expected;
  } cases[] = {
      {OptionsForm->SpinEdit2, "5000", 1000}, {OptionsForm->SpinEdit2, "0", 1},
      {OptionsForm->SpinEdit2, "abc", 1},     {OptionsForm->SpinEdit1, "-3", 1},
      {OptionsForm->SpinEdit1, " 75 ", 75},   {OptionsForm->HTMLSpinEdit1, "", 0},
      {OptionsForm->NBcoloSpinEdit, "101", 100},
  };
  for (const auto& c : cases) {
    c.spin->SetText(c.text);
    EXPECT_EQ(c.spin->Value(), c.expected) << c.text;
  }
  EXPECT_EQ(OptionsForm->SpinEdit2->MaxValue(), 1000);
}

TEST_F(AppTest, DependencyRules) {
  StartProgram();
  TOptionsForm* o = OptionsForm;
  o->Table->click();
  for (QWidget* w : std::initializer_list<QWidget*>{o->Label86, o->NBcoloSpinEdit, o->Label87,
                                                    o->LargColoSpinEdit, o->Label88,
                                                    o->AlignComboBox, o->Taille}) {
    EXPECT_FALSE(w->isEnabled());
  }
  o->Table->click();
  EXPECT_TRUE(o->Taille->isEnabled());
  o->CheckBox10->click();
  EXPECT_TRUE(o->HTMLMemo1->isEnabled());
  o->CheckBox11->click();
  EXPECT_TRUE(o->HTMLMemo2->isEnabled());
  o->CheckBox8->click();
  EXPECT_TRUE(o->Button9->isEnabled());
  EXPECT_TRUE(o->Button13->isEnabled());
  EXPECT_TRUE(o->ListBox3->isEnabled());
}

TEST_F(AppTest, RemovingSelectedFolders) {
  StartProgram();
  QListWidget* list = OptionsForm->ListBox3;
  for (const char* f : {"/a/", "/b/", "/c/", "/d/", "/e/"}) list->addItem(f);
  list->item(1)->setSelected(true);
  list->item(2)->setSelected(true);
  list->item(4)->setSelected(true);
  OptionsForm->Button13Click();
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "/a/");
  EXPECT_EQ(list->item(1)->text(), "/d/");
  list->clear();
  OptionsForm->Button13Click();  // nothing to remove
  EXPECT_EQ(list->count(), 0);
}

TEST_F(AppTest, AddingTheCurrentFolder) {
  StartProgram();
  const std::string folder = MakeFolder("here");
  OptionsForm->DirTree1->OpenPath(folder);
  OptionsForm->CheckBox8->setChecked(true);
  OptionsForm->Button9->click();
  ASSERT_EQ(OptionsForm->ListBox3->count(), 1);
  EXPECT_EQ(OptionsForm->ListBox3->item(0)->text().toStdString(), folder);
  // Opening the tree at a folder that does not exist changes nothing.
  OptionsForm->DirTree1->OpenPath(folder + "missing");
  EXPECT_EQ(OptionsForm->DirTree1->SelectedPath() + "/", folder);
}

TEST_F(AppTest, ColourChoice) {
  StartProgram();
  TOptionsForm* o = OptionsForm;
  colorAnswer_ = std::nullopt;  // cancelled
  o->BitBtn8->click();
  EXPECT_EQ(o->ColorDialog1.Color, 0u);
  EXPECT_EQ(o->Panel7->palette().color(QPalette::Window), QColor(0, 0, 0));
  colorAnswer_ = 0x0000FF;  // red
  o->BitBtn8->click();
  EXPECT_EQ(o->ColorDialog1.Color, 0xFFu);
  EXPECT_EQ(o->Panel7->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(o->Demo->palette().color(QPalette::Base), QColor(255, 0, 0));
  colorAnswer_ = 0x00FF00;
  o->BitBtn7->click();
  EXPECT_EQ(o->ColorDialog2.Color, 0xFF00u);
  EXPECT_EQ(o->Demo->palette().color(QPalette::Text), QColor(0, 255, 0));
}

TEST_F(AppTest, TypeListSortsByAClickedColumn) {
  StartProgram();
  auto* list = OptionsForm->FileExtentionList;
  list->ClickHeader(0);
  EXPECT_EQ(list->Row(0)->text(0), ".art");
  list->ClickHeader(0);
  EXPECT_EQ(list->Row(0)->text(0), ".wpg");
  list->ClickHeader(1);
  EXPECT_EQ(list->Row(0)->text(1), "EXTERNAL");
}
