// The Options window: every generation setting is the state of one of its controls.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QWidget>
#include <cstdint>

#include "platform/widgets.h"

// A colour setting with red in its low byte.
struct TColorDialog {
  std::uint32_t Color = 0;
};

class TOptionsForm : public QWidget {
 public:
  TOptionsForm();
  // Runs the nine start-up steps, each announced on the splash window.
  void FormCreate();

  QTabWidget* PageControl3;
  // Options
  QWidget* TabSheet12;
  QFrame* Panel5;
  QLabel* Label52;
  platform::TLsDirTreeCombo* DirTree1;
  QCheckBox* CheckBox8;
  QPushButton* Button9;
  QPushButton* Button13;
  QGroupBox* GroupBox7;
  QListWidget* ListBox3;
  // HTML pages
  QWidget* TabSheet13;
  QGroupBox* GroupBox16;
  QLabel *Label23, *Label53, *Label56, *Label61, *Label24;
  QLineEdit *HTMLEdit1, *HTMLEdit2;
  platform::TSpinEdit *HTMLSpinEdit1, *HTMLSpinEdit2, *HTMLSpinEdit3;
  QGroupBox* GroupBox27;
  QCheckBox* Table;
  QLabel *Label86, *Label87, *Label88;
  platform::TSpinEdit *NBcoloSpinEdit, *LargColoSpinEdit;
  QComboBox* AlignComboBox;
  QCheckBox* Taille;
  QGroupBox* GroupBox17;
  QLabel *Label80, *Label81, *Image7, *Image8;
  QFrame *Panel7, *Panel8;
  QPushButton *BitBtn8, *BitBtn7;
  QLineEdit* Demo;
  QTabWidget* PageControl4;
  QWidget *HTMLTAB1, *HTMLTAB2, *TabSheet3;
  QCheckBox *CheckBox10, *CheckBox11;
  QPlainTextEdit *HTMLMemo1, *HTMLMemo2;
  QLabel* MetaLabels[5];
  QLineEdit *MetaContent1, *MetaContent2, *MetaContent3, *MetaContent4, *MetaContent5;
  // Thumbnails
  QWidget* TabSheet14;
  QGroupBox* GroupBox11;
  platform::TExtListView* FileExtentionList;
  QGroupBox* GroupBox6;
  QLabel *Label26, *Label25, *Label83, *Label84;
  platform::TSpinEdit *SpinEdit2, *SpinEdit1;
  QCheckBox* CheckBox2;
  QLineEdit *Edit1, *Edit5;
  // Preferences
  QWidget* TabSheet6;
  QGroupBox* GroupBox20;
  QCheckBox *CheckBox6, *CheckBox5, *CheckBox7, *CheckBox12, *CheckBox13;
  QPushButton* BitBtn1;
  QGroupBox* GroupBox1;
  QLabel *Image3, *Image4, *Label46;
  QRadioButton *GBLng, *FRLng, *OtherLng;
  QComboBox* Languagelist;

  TColorDialog ColorDialog1{0x000000};
  TColorDialog ColorDialog2{0xFFFFFF};

  void CheckBox8Click();
  void Button9Click();
  void Button13Click();
  void TableClick();
  void CheckBox10Click();
  void CheckBox11Click();
  void BitBtn8Click();
  void BitBtn7Click();
  void BitBtn1Click();
  void FRLngClick();
  void GBLngClick();
  void LanguagelistChange();
  void FormClose();

  // Applies the page background and text colours to the panels and the preview.
  void SetBackgroundColor(std::uint32_t color);
  void SetTextColor(std::uint32_t color);

 private:
  void BuildOptionsTab();
  void BuildPagesTab();
  void BuildThumbnailsTab();
  void BuildPreferencesTab();
  void ConnectHelpTopics();
};

extern TOptionsForm* OptionsForm;
// Set by the reset button: the saved settings are erased at shutdown.
extern bool ResetRequested;

// The memo's lines, and replacing them.
std::vector<std::string> MemoLines(const QPlainTextEdit* memo);
void AppendMemoLine(QPlainTextEdit* memo, const std::string& line);
