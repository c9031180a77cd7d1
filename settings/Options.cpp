#include "settings/Options.h"

#include <QPalette>
#include <QVBoxLayout>

#include "app/SplashSceen.h"
#include "app/Startup.h"
#include "generation/Collection.h"
#include "generation/ProceduresImages.h"
#include "generation/ProceduresSysImgList.h"
#include "i18n/Languages.h"
#include "platform/dialogs.h"
#include "settings/GestionINI.h"
#include "ui/Help.h"
#include "ui/Unit1.h"

TOptionsForm* OptionsForm = nullptr;
bool ResetRequested = false;

namespace {

QLineEdit* Edit(QWidget* parent, const char* text, int x, int y, int w) {
  auto* e = new QLineEdit(QString::fromUtf8(text), parent);
  e->setGeometry(x, y, w, 21);
  return e;
}

platform::TSpinEdit* Spin(QWidget* parent, int minV, int maxV, int v, int x, int y) {
  auto* s = new platform::TSpinEdit(parent, minV, maxV, v);
  s->setGeometry(x, y, 64, 21);
  return s;
}

QCheckBox* Check(QWidget* parent, const char* text, bool on, int x, int y, int w) {
  auto* c = new QCheckBox(QString::fromUtf8(text), parent);
  c->setGeometry(x, y, w, 17);
  c->setChecked(on);
  return c;
}

QFrame* ColorPanel(QWidget* parent, int x, int y) {
  auto* p = new QFrame(parent);
  p->setFrameStyle(QFrame::Box | QFrame::Plain);
  p->setAutoFillBackground(true);
  p->setGeometry(x, y, 41, 21);
  return p;
}

QColor ToQColor(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

void Paint(QWidget* w, QPalette::ColorRole role, std::uint32_t color) {
  QPalette p = w->palette();
  p.setColor(role, ToQColor(color));
  w->setPalette(p);
}

}  // namespace

TOptionsForm::TOptionsForm() {
  setWindowTitle("Options");
  setWindowFlags(Qt::Tool | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(577, 489);
  platform::CenterOnScreen(this);
  PageControl3 = new QTabWidget(this);
  PageControl3->setGeometry(0, 0, 577, 489);
  BuildOptionsTab();
  BuildPagesTab();
  BuildThumbnailsTab();
  BuildPreferencesTab();
  const auto& images = Form1->APPImgList;
  PageControl3->addTab(TabSheet12, images.Icon(7), "Options");
  PageControl3->addTab(TabSheet13, images.Icon(8), "Options des pages HTML");
  PageControl3->addTab(TabSheet14, images.Icon(9), "Options des thumbnails");
  PageControl3->addTab(TabSheet6, images.Icon(4), QString::fromUtf8("Préférence"));
  ConnectHelpTopics();
  platform::OnClose(this, [this] { FormClose(); });
}

void TOptionsForm::BuildOptionsTab() {
  TabSheet12 = new QWidget;
  Panel5 = new QFrame(TabSheet12);
  Panel5->setGeometry(4, 4, 563, 450);
  Label52 =
      platform::MakeLabel(Panel5, "Chemin parent pour la génération des fichiers :", 8, 8, 400);
  DirTree1 = new platform::TLsDirTreeCombo(Panel5);
  DirTree1->setGeometry(8, 28, 545, 22);
  CheckBox8 = Check(Panel5, "Générer à partir de plusieurs chemins", false, 8, 60, 400);
  Button9 = new QPushButton(QString::fromUtf8("Ajouter le chemin courant à la liste"), Panel5);
  Button9->setGeometry(8, 84, 268, 25);
  Button9->setEnabled(false);
  Button13 =
      new QPushButton(QString::fromUtf8("Effacer le chemin sélectionner de la liste"), Panel5);
  Button13->setGeometry(284, 84, 268, 25);
  Button13->setEnabled(false);
  GroupBox7 = new QGroupBox(
      QString::fromUtf8("Liste des répertoires à partir desquels la génération s'effectuera"),
      Panel5);
  GroupBox7->setGeometry(8, 116, 545, 326);
  ListBox3 = new QListWidget(GroupBox7);
  ListBox3->setGeometry(8, 20, 529, 298);
  ListBox3->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBox3->setEnabled(false);
  CheckBox8Click();
  connect(CheckBox8, &QCheckBox::toggled, this, [this] { CheckBox8Click(); });
  connect(Button9, &QPushButton::clicked, this, [this] { Button9Click(); });
  connect(Button13, &QPushButton::clicked, this, [this] { Button13Click(); });
}

void TOptionsForm::BuildPagesTab() {
  TabSheet13 = new QWidget;
  GroupBox16 = new QGroupBox(QString::fromUtf8("Options de création des pages HTML"), TabSheet13);
  GroupBox16->setGeometry(4, 4, 276, 160);
  Label23 = platform::MakeLabel(GroupBox16, "Titre des pages", 8, 22, 130);
  HTMLEdit1 = Edit(GroupBox16, "Web", 140, 20, 128);
  Label53 = platform::MakeLabel(GroupBox16, "Nom des pages", 8, 48, 130);
  HTMLEdit2 = Edit(GroupBox16, "Index", 140, 46, 128);
  Label56 = platform::MakeLabel(GroupBox16, "Nombre d'images par pages", 8, 74, 180);
  HTMLSpinEdit1 = Spin(GroupBox16, 0, 1000, 0, 204, 72);
  Label61 = platform::MakeLabel(GroupBox16, "Commencer la numérotation à", 8, 100, 190);
  HTMLSpinEdit2 = Spin(GroupBox16, 0, 1000, 0, 204, 98);
  Label24 = platform::MakeLabel(GroupBox16, "Taille de la bordure de l'image", 8, 126, 190);
  HTMLSpinEdit3 = Spin(GroupBox16, 0, 100, 0, 204, 124);

  GroupBox27 = new QGroupBox(TabSheet13);
  GroupBox27->setGeometry(286, 4, 281, 160);
  Table = Check(GroupBox27, "Placer les images dans un tableau", true, 8, 8, 260);
  Label86 = platform::MakeLabel(GroupBox27, "Nombre de colonnes", 8, 36, 150);
  NBcoloSpinEdit = Spin(GroupBox27, 0, 100, 4, 200, 34);
  Label87 = platform::MakeLabel(GroupBox27, "Largeur des colonnes", 8, 62, 150);
  LargColoSpinEdit = Spin(GroupBox27, 0, 100, 3, 200, 60);
  Label88 = platform::MakeLabel(GroupBox27, "Alignement du tableau", 8, 88, 150);
  AlignComboBox = new QComboBox(GroupBox27);
  AlignComboBox->setEditable(true);
  AlignComboBox->addItems({"Centree", "Droite", "Gauche"});
  AlignComboBox->setGeometry(160, 86, 104, 21);
  Taille = Check(GroupBox27, "Placer la taille sous les images", true, 8, 118, 260);

  GroupBox17 = new QGroupBox(QString::fromUtf8("Sélectionner la couleur des pages"), TabSheet13);
  GroupBox17->setGeometry(4, 168, 563, 76);
  Image7 = new QLabel(GroupBox17);
  Image7->setGeometry(8, 22, 16, 16);
  Image7->setPixmap(Form1->APPImgList.Icon(10).pixmap(16, 16));
  Label80 = platform::MakeLabel(GroupBox17, "Couleur du fond", 28, 22, 110);
  Panel7 = ColorPanel(GroupBox17, 140, 20);
  BitBtn8 = new QPushButton("...", GroupBox17);
  BitBtn8->setGeometry(186, 20, 25, 21);
  Image8 = new QLabel(GroupBox17);
  Image8->setGeometry(8, 48, 16, 16);
  Image8->setPixmap(Form1->APPImgList.Icon(11).pixmap(16, 16));
  Label81 = platform::MakeLabel(GroupBox17, "Couleur du texte", 28, 48, 110);
  Panel8 = ColorPanel(GroupBox17, 140, 46);
  BitBtn7 = new QPushButton("...", GroupBox17);
  BitBtn7->setGeometry(186, 46, 25, 21);
  Demo = Edit(GroupBox17, "Demo", 240, 30, 310);
  Demo->setAutoFillBackground(true);
  SetBackgroundColor(ColorDialog1.Color);
  SetTextColor(ColorDialog2.Color);

  PageControl4 = new QTabWidget(TabSheet13);
  PageControl4->setGeometry(4, 250, 563, 205);
  HTMLTAB1 = new QWidget;
  CheckBox10 =
      Check(HTMLTAB1, "Place le code HTML ci dessous au début du fichier", false, 4, 4, 500);
  HTMLMemo1 = new QPlainTextEdit(HTMLTAB1);
  HTMLMemo1->setGeometry(4, 24, 549, 148);
  HTMLMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  HTMLMemo1->setEnabled(false);
  HTMLTAB2 = new QWidget;
  CheckBox11 =
      Check(HTMLTAB2, "Place le code HTML ci dessous à la fin du fichier", false, 4, 4, 500);
  HTMLMemo2 = new QPlainTextEdit(HTMLTAB2);
  HTMLMemo2->setGeometry(4, 24, 549, 148);
  HTMLMemo2->setLineWrapMode(QPlainTextEdit::NoWrap);
  HTMLMemo2->setEnabled(false);
  TabSheet3 = new QWidget;
  const char* names[5] = {"KEYWORDS", "DESCRIPTION", "CATEGORY", "AUTHOR", "COPYRIGHT"};
  QLineEdit** edits[5] = {&MetaContent1, &MetaContent2, &MetaContent3, &MetaContent4,
                          &MetaContent5};
  for (int i = 0; i < 5; ++i) {
    MetaLabels[i] = platform::MakeLabel(TabSheet3, (std::string("\"") + names[i] + "\"").c_str(), 8,
                                        8 + i * 30, 140);
    MetaLabels[i]->setFont(QFont("Arial", 10, QFont::Bold));
    *edits[i] = Edit(TabSheet3, "", 150, 6 + i * 30, 395);
  }
  const auto& images = Form1->APPImgList;
  PageControl4->addTab(HTMLTAB1, images.Icon(13),
                       QString::fromUtf8("Code HTML à placer au début du fichier"));
  PageControl4->addTab(HTMLTAB2, images.Icon(14),
                       QString::fromUtf8("Code HTML à placer à la fin du fichier"));
  PageControl4->addTab(TabSheet3, images.Icon(15), "Contenue des Meta Name");
  PageControl4->setDocumentMode(false);

  connect(Table, &QCheckBox::toggled, this, [this] { TableClick(); });
  connect(CheckBox10, &QCheckBox::toggled, this, [this] { CheckBox10Click(); });
  connect(CheckBox11, &QCheckBox::toggled, this, [this] { CheckBox11Click(); });
  connect(BitBtn8, &QPushButton::clicked, this, [this] { BitBtn8Click(); });
  connect(BitBtn7, &QPushButton::clicked, this, [this] { BitBtn7Click(); });
}

void TOptionsForm::BuildThumbnailsTab() {
  TabSheet14 = new QWidget;
  GroupBox11 = new QGroupBox(
      QString::fromUtf8("De quel type d'image doit'on faire la prévisualisation"), TabSheet14);
  GroupBox11->setGeometry(4, 4, 563, 290);
  FileExtentionList = new platform::TExtListView(GroupBox11);
  FileExtentionList->setGeometry(8, 20, 547, 262);
  FileExtentionList->setHeaderLabels({"Extension", "Support", "Description"});
  FileExtentionList->setColumnWidth(0, 80);
  FileExtentionList->setColumnWidth(1, 70);
  FileExtentionList->setColumnWidth(2, 350);
  GroupBox6 = new QGroupBox("Options des thumbnails JPEG", TabSheet14);
  GroupBox6->setGeometry(4, 300, 563, 150);
  Label26 = platform::MakeLabel(GroupBox6, "Largeurs des thumbnails", 8, 24, 180);
  SpinEdit2 = Spin(GroupBox6, 1, 1000, 100, 190, 22);
  CheckBox2 = Check(GroupBox6, "Respecter le ratio des thumbnails?", true, 280, 24, 270);
  Label25 = platform::MakeLabel(GroupBox6, "Taux de compression", 8, 52, 180);
  SpinEdit1 = Spin(GroupBox6, 1, 100, 50, 190, 50);
  Label83 = platform::MakeLabel(GroupBox6, "Nom des sous dossiers crées", 8, 84, 180);
  Edit1 = Edit(GroupBox6, "Smallprev", 190, 82, 160);
  Label84 = platform::MakeLabel(GroupBox6, "Préfixe des thumbnails", 8, 112, 180);
  Edit5 = Edit(GroupBox6, "Small", 190, 110, 160);
}

void TOptionsForm::BuildPreferencesTab() {
  TabSheet6 = new QWidget;
  GroupBox20 = new QGroupBox("Options de sauvegarde", TabSheet6);
  GroupBox20->setGeometry(4, 4, 563, 190);
  CheckBox6 = Check(GroupBox20, "Sauvegarder le chemin", true, 8, 22, 400);
  CheckBox5 = Check(GroupBox20, "Sauvegarder l'état de la fenêtre", true, 8, 44, 400);
  CheckBox7 = Check(GroupBox20, "Sauvegarder les préférences de génération", true, 8, 66, 400);
  BitBtn1 = new QPushButton(QString::fromUtf8("Réinitialiser les paramètres"), GroupBox20);
  BitBtn1->setGeometry(8, 92, 240, 25);
  CheckBox12 = Check(GroupBox20, "Sauvegarder / Restaurer la liste des erreurs", true, 8, 128, 400);
  CheckBox13 =
      Check(GroupBox20, "Sauvegarder / Restaurer la liste des actions", false, 8, 152, 400);
  GroupBox1 = new QGroupBox(QString::fromUtf8("Sélectionnez la langue"), TabSheet6);
  GroupBox1->setGeometry(4, 200, 563, 110);
  Image4 = new QLabel(GroupBox1);
  Image4->setGeometry(8, 24, 20, 14);
  Image4->setPixmap(Form1->APPImgList.Icon(19).pixmap(16, 16));
  GBLng = new QRadioButton("Anglais", GroupBox1);
  GBLng->setGeometry(32, 22, 200, 17);
  GBLng->setChecked(true);
  Image3 = new QLabel(GroupBox1);
  Image3->setGeometry(8, 48, 20, 14);
  Image3->setPixmap(Form1->APPImgList.Icon(20).pixmap(16, 16));
  FRLng = new QRadioButton(QString::fromUtf8("Français"), GroupBox1);
  FRLng->setGeometry(32, 46, 200, 17);
  Label46 = platform::MakeLabel(GroupBox1, "Autre :", 8, 76, 60);
  OtherLng = new QRadioButton(GroupBox1);
  OtherLng->setGeometry(70, 74, 200, 21);
  Languagelist = new QComboBox(GroupBox1);
  Languagelist->setGeometry(70, 74, 200, 21);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(FRLng, &QRadioButton::toggled, this, [this](bool on) {
    if (on) FRLngClick();
  });
  connect(GBLng, &QRadioButton::toggled, this, [this](bool on) {
    if (on) GBLngClick();
  });
  connect(Languagelist, &QComboBox::activated, this, [this] { LanguagelistChange(); });
}

void TOptionsForm::ConnectHelpTopics() {
  const std::pair<std::uint32_t, std::vector<QWidget*>> topics[] = {
      {111, {CheckBox8, Panel5}},
      {112, {CheckBox10, HTMLMemo1}},
      {113, {CheckBox11, HTMLMemo2}},
      {114, {HTMLEdit1, Label23}},
      {115, {HTMLSpinEdit3, Label24}},
      {116, {BitBtn8, Panel7, Image7, Label80}},
      {117, {BitBtn7, Panel8, Image8, Label81}},
      {118, {GroupBox11}},
      {119, {SpinEdit2, Label26}},
      {120, {SpinEdit1, Label25}},
      {121, {CheckBox2}},
      {122, {Edit1, Label83}},
      {123, {Edit5, Label84}},
      {133, {GroupBox1}},
      {134, {FRLng, Image3}},
      {135, {GBLng, Image4}},
      {136, {Label46}},
      {137, {GroupBox20}},
      {140, {BitBtn1}},
      {141, {HTMLEdit2, Label53}},
      {142, {HTMLSpinEdit1, Label56}},
      {143, {HTMLSpinEdit2, Label61}},
      {144, {Table, GroupBox27}},
      {145, {NBcoloSpinEdit, Label86}},
      {146, {LargColoSpinEdit, Label87}},
      {147, {Label88}},
      {148, {Taille}},
      {149, {Demo}},
      {150, {TabSheet3}},
  };
  for (const auto& [topic, controls] : topics) {
    for (QWidget* w : controls) {
      const std::uint32_t t = topic;
      platform::OnMouseMove(w, [t] { ShowHelpTopic(t); });
    }
  }
}

void TOptionsForm::FormCreate() {
  // 1. Version texts.
  ShowStartupStep(Text(11016));
  SetAboutVersionTexts();
  // 2. Picture types, folder, settings, language and log lists.
  ShowStartupStep(Text(11017));
  InitSystemImageList();
  FillTypeList(FileExtentionList);
  DirTree1->SetSelectedPath(DefaultFolder());
  AlignComboBox->setCurrentIndex(0);
  LoadSettings();
  // 3. Title.
  ShowStartupStep(Text(11018));
  Form1->setWindowTitle("Galvora");
  // 4. Help file and the program's folders.
  ShowStartupStep(Text(11019));
  PrepareProgramFolders();
  // 5.
  ShowStartupStep(Text(11020));
  ResetRequested = false;
  FileList->Clear();
  // 6. Pictures of the About window and glyphs of the main window.
  ShowStartupStep(Text(11021));
  SetStartupImages();
  // 7. Further languages.
  ShowStartupStep(Text(11022));
  ListLanguages();
  // 8. The start-up line.
  ShowStartupStep(Text(11025));
  AddStartupLine();
  // 9. The main window appears.
  ShowStartupStep(Text(11026));
  Form1->show();
}

void TOptionsForm::CheckBox8Click() {
  const bool on = CheckBox8->isChecked();
  Button9->setEnabled(on);
  Button13->setEnabled(on);
  ListBox3->setEnabled(on);
  QPalette p = GroupBox7->palette();
  p.setColor(QPalette::WindowText,
             palette().color(on ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  GroupBox7->setPalette(p);
}

void TOptionsForm::Button9Click() { AddPathToList(DirTree1->SelectedPath(), ListBox3); }

void TOptionsForm::Button13Click() {
  int i = 0;
  while (i < ListBox3->count()) {
    if (ListBox3->item(i)->isSelected()) {
      delete ListBox3->takeItem(i);
    } else {
      ++i;
    }
  }
}

void TOptionsForm::TableClick() {
  const bool on = Table->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{
           Label86, NBcoloSpinEdit, Label87, LargColoSpinEdit, Label88, AlignComboBox, Taille}) {
    w->setEnabled(on);
  }
}

void TOptionsForm::CheckBox10Click() { HTMLMemo1->setEnabled(CheckBox10->isChecked()); }
void TOptionsForm::CheckBox11Click() { HTMLMemo2->setEnabled(CheckBox11->isChecked()); }

void TOptionsForm::SetBackgroundColor(std::uint32_t color) {
  ColorDialog1.Color = color;
  Paint(Panel7, QPalette::Window, color);
  Paint(Demo, QPalette::Base, color);
}

void TOptionsForm::SetTextColor(std::uint32_t color) {
  ColorDialog2.Color = color;
  Paint(Panel8, QPalette::Window, color);
  Paint(Demo, QPalette::Text, color);
}

void TOptionsForm::BitBtn8Click() {
  if (auto c = platform::PickColor(ColorDialog1.Color, this)) SetBackgroundColor(*c);
}

void TOptionsForm::BitBtn7Click() {
  if (auto c = platform::PickColor(ColorDialog2.Color, this)) SetTextColor(*c);
}

void TOptionsForm::BitBtn1Click() { ResetRequested = true; }
void TOptionsForm::FRLngClick() { LoadLanguage("French"); }
void TOptionsForm::GBLngClick() { LoadLanguage("English"); }

void TOptionsForm::LanguagelistChange() {
  OtherLng->setChecked(true);
  LoadLanguage(Languagelist->currentText().toStdString());
}

void TOptionsForm::FormClose() {
  if (Form1) Form1->setEnabled(true);
}

std::vector<std::string> MemoLines(const QPlainTextEdit* memo) {
  std::vector<std::string> lines;
  const QString text = memo->toPlainText();
  if (text.isEmpty()) return lines;
  for (const QString& l : text.split('\n')) lines.push_back(l.toStdString());
  return lines;
}

void AppendMemoLine(QPlainTextEdit* memo, const std::string& line) {
  memo->appendPlainText(QString::fromStdString(line));
}
