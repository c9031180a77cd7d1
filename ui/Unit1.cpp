#include "ui/Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLinearGradient>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>

#include "app/Startup.h"
#include "platform/dialogs.h"
#include "generation/Collection.h"
#include "generation/Generation.h"
#include "ui/About.h"
#include "ui/Help.h"
#include "ui/Logs.h"
#include "ui/Procedures.h"
#include "settings/Options.h"

TForm1* Form1 = nullptr;

namespace {

// Glyphs drawn here rather than taken from a theme, so the program looks the
// same on every desktop.
QIcon DrawIcon(const std::function<void(QPainter&)>& draw) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(2, 2);
  draw(p);
  return QIcon(pm);
}

QIcon ThumbnailsGlyph() {
  return DrawIcon([](QPainter& p) {
    p.setPen(QColor(40, 70, 120));
    const QColor fills[4] = {QColor(120, 180, 240), QColor(120, 200, 120), QColor(240, 190, 90),
                             QColor(230, 120, 120)};
    for (int i = 0; i < 4; ++i) {
      p.setBrush(fills[i]);
      p.drawRect(QRectF(1.5 + (i % 2) * 7, 1.5 + (i / 2) * 7, 6, 6));
    }
  });
}

QIcon PageGlyph() {
  return DrawIcon([](QPainter& p) {
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 1.5, 9, 13));
    p.setPen(QColor(30, 100, 200));
    for (int y = 4; y <= 12; y += 2) p.drawLine(QPointF(5.5, y + 0.5), QPointF(10.5, y + 0.5));
  });
}

QIcon MailGlyph() {
  return DrawIcon([](QPainter& p) {
    p.setPen(QColor(60, 60, 60));
    p.setBrush(QColor(255, 250, 220));
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.drawLine(QPointF(1.5, 3.5), QPointF(8, 9));
    p.drawLine(QPointF(14.5, 3.5), QPointF(8, 9));
  });
}

QIcon WebGlyph() {
  return DrawIcon([](QPainter& p) {
    p.setPen(QPen(QColor(20, 90, 160), 1));
    p.setBrush(QColor(150, 200, 250));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
  });
}

QIcon StatsGlyph() {
  return DrawIcon([](QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 130, 200));
    p.drawRect(QRectF(2, 9, 3, 6));
    p.setBrush(QColor(230, 140, 40));
    p.drawRect(QRectF(6.5, 5, 3, 10));
    p.setBrush(QColor(80, 170, 80));
    p.drawRect(QRectF(11, 2, 3, 13));
  });
}

}  // namespace

QPixmap GalvoraLogo() {
  QPixmap pm(440, 44);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 440, 0);
  g.setColorAt(0, QColor(0, 70, 140));
  g.setColorAt(1, QColor(0, 150, 200));
  p.fillRect(pm.rect(), g);
  for (int i = 0; i < 3; ++i) {
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(255, 255, 255, 60 + 50 * i));
    p.drawRect(QRectF(10 + i * 9, 8 + i * 4, 22, 22));
  }
  QFont f("DejaVu Sans", 20, QFont::Bold);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRect(60, 0, 380, 44), Qt::AlignVCenter | Qt::AlignLeft, "Galvora");
  QFont small("DejaVu Sans", 8);
  p.setFont(small);
  p.drawText(QRect(0, 0, 432, 40), Qt::AlignBottom | Qt::AlignRight, "Web gallery generator");
  return pm;
}

platform::TImageList MakeAppImages() {
  QStyle* s = QApplication::style();
  platform::TImageList list;
  list.images.resize(23);
  list.images[0] = s->standardIcon(QStyle::SP_DialogApplyButton);
  list.images[1] = s->standardIcon(QStyle::SP_FileDialogNewFolder);
  list.images[2] = s->standardIcon(QStyle::SP_DialogOpenButton);
  list.images[3] = s->standardIcon(QStyle::SP_FileDialogDetailedView);
  list.images[4] = s->standardIcon(QStyle::SP_FileDialogContentsView);
  list.images[5] = s->standardIcon(QStyle::SP_MessageBoxInformation);
  list.images[6] = StatsGlyph();
  list.images[7] = s->standardIcon(QStyle::SP_DirIcon);
  list.images[8] = PageGlyph();
  list.images[9] = ThumbnailsGlyph();
  list.images[10] = s->standardIcon(QStyle::SP_DriveHDIcon);
  list.images[11] = s->standardIcon(QStyle::SP_DialogSaveButton);
  list.images[12] = s->standardIcon(QStyle::SP_BrowserReload);
  list.images[13] = s->standardIcon(QStyle::SP_ArrowUp);
  list.images[14] = s->standardIcon(QStyle::SP_ArrowDown);
  list.images[15] = s->standardIcon(QStyle::SP_FileDialogInfoView);
  list.images[16] = s->standardIcon(QStyle::SP_DialogCloseButton);
  list.images[17] = s->standardIcon(QStyle::SP_ComputerIcon);
  list.images[18] = MailGlyph();
  list.images[19] = WebGlyph();
  list.images[20] = WebGlyph();
  list.images[21] = s->standardIcon(QStyle::SP_DialogHelpButton);
  list.images[22] = ThumbnailsGlyph();
  return list;
}

platform::TImageList MakePopupImages() {
  QStyle* s = QApplication::style();
  return {{s->standardIcon(QStyle::SP_BrowserStop), s->standardIcon(QStyle::SP_MediaPlay),
           s->standardIcon(QStyle::SP_TrashIcon)}};
}

TForm1::TForm1() {
  setWindowTitle("Galvora");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  APPImgList = MakeAppImages();
  PopupImageList = MakePopupImages();

  auto* client = new QWidget(this);
  client->setFixedSize(587, 498);
  setCentralWidget(client);

  GeneThumbnailsBTN = new platform::TFlatButton(client, QString::fromUtf8("Générer les thumbnails"));
  GeneThumbnailsBTN->setGeometry(16, 16, 369, 25);
  GeneHTMLBTN = new platform::TFlatButton(client, QString::fromUtf8("Générer les pages HTML"));
  GeneHTMLBTN->setGeometry(16, 48, 369, 25);

  GroupBox9 = new QGroupBox(QString::fromUtf8("Option de création"), client);
  GroupBox9->setGeometry(392, 16, 179, 57);
  RadioButton2 = new QRadioButton(QString::fromUtf8("Tout recrée"), GroupBox9);
  RadioButton2->setGeometry(8, 16, 160, 17);
  RadioButton2->setChecked(true);
  RadioButton1 = new QRadioButton("Uniquement mettre a jour", GroupBox9);
  RadioButton1->setGeometry(8, 34, 165, 17);

  CheckBox4 = new QCheckBox(QString::fromUtf8("Activer la prévisualisation des thumbnails crées :"),
                            client);
  CheckBox4->setGeometry(14, 100, 248, 17);

  Bevel1 = new QFrame(client);
  Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Bevel1->setGeometry(265, 96, 312, 261);
  Image1 = new QLabel(client);
  Image1->setGeometry(267, 98, 308, 257);
  Image1->setAlignment(Qt::AlignCenter);

  Animate2 = new platform::TAnimate(client);
  Animate2->setGeometry(96, 208, 80, 50);
  Animate2->hide();

  Gauge1 = new platform::TProgressBar3D(client);
  Gauge1->setGeometry(8, 288, 254, 20);
  Gauge1->setStyleSheet("QProgressBar { color: blue; }");
  Gauge1->hide();

  ButtonCancel = new platform::TFlatButton(client, "Abandonner l'action courante");
  ButtonCancel->setGeometry(8, 317, 254, 41);
  ButtonCancel->hide();
  CloseButton = new platform::TFlatButton(client, "Fermer");
  CloseButton->setGeometry(8, 317, 254, 41);

  GroupBox8 = new QGroupBox("Statistiques", client);
  GroupBox8->setGeometry(8, 370, 569, 121);
  CheckBox3 = new QCheckBox(QString::fromUtf8("Activer les statistiques avancés :"), GroupBox8);
  CheckBox3->setGeometry(8, 16, 280, 17);
  CheckBox3->setChecked(true);
  Image2 = new QLabel(GroupBox8);
  Image2->setGeometry(16, 52, 64, 64);
  Image2->setPixmap(StatsGlyph().pixmap(48, 48));

  Panel2 = new QFrame(client);
  Panel2->setGeometry(90, 416, 210, 65);
  Label14 = platform::MakeLabel(Panel2, "0", 0, 2, 40, 13);
  Label14->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label60 = platform::MakeLabel(Panel2, "Erreurs d'exécutions interceptées.", 46, 2, 164, 13);
  Label11 = platform::MakeLabel(Panel2, "0", 0, 17, 40, 13);
  Label11->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label59 = platform::MakeLabel(Panel2, "Nouveaux fichiers créés.", 46, 17, 164, 13);
  Label8 = platform::MakeLabel(Panel2, "0", 0, 32, 40, 13);
  Label8->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label55 = platform::MakeLabel(Panel2, "Fichiers traités sur:", 46, 32, 110, 13);
  Label10 = platform::MakeLabel(Panel2, "0", 156, 32, 50, 13);

  Panel1 = new QFrame(client);
  Panel1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Panel1->setGeometry(310, 385, 262, 102);
  Label64 = platform::MakeLabel(Panel1, "Dernier thumbnail généré en :", 4, 4, 150, 13);
  Label71 = platform::MakeLabel(Panel1, "Temps de génération moyen :", 4, 19, 150, 13);
  Label76 = platform::MakeLabel(Panel1, "Soit environ :", 4, 34, 150, 13);
  Label63 = platform::MakeLabel(Panel1, "Lancer depuis :", 4, 49, 150, 13);
  Label65 = platform::MakeLabel(Panel1, "Il reste environ :", 4, 64, 150, 13);
  Label69 = platform::MakeLabel(Panel1, "Lancer à :", 4, 79, 150, 13);
  Tick1 = platform::MakeLabel(Panel1, "0", 155, 4, 52, 13);
  Tick5 = platform::MakeLabel(Panel1, "0", 155, 19, 52, 13);
  Tick6 = platform::MakeLabel(Panel1, "0", 155, 34, 52, 13);
  Tick2 = platform::MakeLabel(Panel1, "0", 155, 49, 104, 13);
  Tick3 = platform::MakeLabel(Panel1, "0", 155, 64, 104, 13);
  Tick4 = platform::MakeLabel(Panel1, "0", 155, 79, 52, 13);
  Label75 = platform::MakeLabel(Panel1, "1/1000 S", 209, 4, 50, 13);
  Label74 = platform::MakeLabel(Panel1, "1/1000 S", 209, 19, 50, 13);
  Label78 = platform::MakeLabel(Panel1, "IMG/S", 209, 34, 50, 13);
  Label73 = platform::MakeLabel(Panel1, "1/1000 S", 209, 79, 50, 13);
  for (QLabel* l : {Tick1, Tick2, Tick3, Tick4, Tick5, Tick6}) l->setStyleSheet("color: blue;");

  BuildMenu();

  connect(GeneThumbnailsBTN, &QToolButton::clicked, this, [this] { GeneThumbnailsBTNClick(); });
  connect(GeneHTMLBTN, &QToolButton::clicked, this, [this] { GeneHTMLBTNClick(); });
  connect(ButtonCancel, &QToolButton::clicked, this, [this] { ButtonCancelClick(); });
  connect(CloseButton, &QToolButton::clicked, this, [this] { CloseButtonClick(); });
  connect(CheckBox3, &QCheckBox::toggled, this, [this] { CheckBox3Click(); });
  platform::OnMouseMove(CloseButton, [this] { CloseButtonMouseMove(); });
  platform::OnMouseMove(Panel2, [this] { Panel2MouseMove(); });
  platform::OnMouseMove(GeneThumbnailsBTN, [this] { GeneThumbnailsBTNMouseMove(); });
  platform::OnMouseMove(GeneHTMLBTN, [this] { GeneHTMLBTNMouseMove(); });
  platform::OnMouseMove(RadioButton2, [this] { RadioButton2MouseMove(); });
  platform::OnMouseMove(RadioButton1, [this] { RadioButton1MouseMove(); });
  platform::OnMouseMove(CheckBox4, [this] { CheckBox4MouseMove(); });
  platform::OnMouseMove(CheckBox3, [this] { CheckBox3MouseMove(); });

  adjustSize();
  setFixedSize(sizeHint());
  platform::CenterOnScreen(this);
  FormCreate();
}

void TForm1::BuildMenu() {
  Fichier1 = menuBar()->addMenu("Fichier");
  Fermer1 = Fichier1->addAction(APPImgList.Icon(16), "Fermer");
  Gnrationdefichiers1 = menuBar()->addMenu(QString::fromUtf8("Génération de fichiers"));
  Statistiquesdexcution1 =
      Gnrationdefichiers1->addAction(APPImgList.Icon(6), QString::fromUtf8("Statistiques d'exécution"));
  Gnrationdefichiers1->addSeparator();
  Option2 = Gnrationdefichiers1->addAction(APPImgList.Icon(4), "Options...");
  Afficher1 = menuBar()->addMenu("Affichage");
  ErreursetLog1 = Afficher1->addAction(APPImgList.Icon(8), "Erreurs et Log...");
  Aide1 = menuBar()->addMenu("Aide");
  Aide2 = Aide1->addAction(APPImgList.Icon(21), "Aide...");
  Aide2->setShortcut(Qt::Key_F1);
  Aide1->addSeparator();
  SendaEmailtosupport1 = Aide1->addAction(APPImgList.Icon(18), "Send a Email to support...");
  Aide1->addSeparator();
  Webpages1 = Aide1->addMenu(APPImgList.Icon(19), "Web pages");
  OrvanelHomePage1 = Webpages1->addAction(APPImgList.Icon(20), "");
  Webpages1->addSeparator();
  GalvoraHomePage1 = Webpages1->addAction(APPImgList.Icon(20), "Galvora Home Page...");
  newversionofGalvora1 =
      Webpages1->addAction(APPImgList.Icon(20), "Check for new version of Galvora...");
  Aide1->addSeparator();
  Apropos1 = Aide1->addAction(APPImgList.Icon(5), "A propos...");

  connect(Fermer1, &QAction::triggered, this, [this] { Fermer1Click(); });
  connect(Statistiquesdexcution1, &QAction::triggered, this, [this] { Statistiquesdexcution1Click(); });
  connect(Option2, &QAction::triggered, this, [this] { Option2Click(); });
  connect(ErreursetLog1, &QAction::triggered, this, [this] { ErreursetLog1Click(); });
  connect(Aide2, &QAction::triggered, this, [this] { Aide2Click(); });
  connect(SendaEmailtosupport1, &QAction::triggered, this, [this] { SendaEmailtosupport1Click(); });
  connect(OrvanelHomePage1, &QAction::triggered, this, [this] { OrvanelHomePage1Click(); });
  connect(GalvoraHomePage1, &QAction::triggered, this, [this] { GalvoraHomePage1Click(); });
  connect(newversionofGalvora1, &QAction::triggered, this, [this] { newversionofGalvora1Click(); });
  connect(Apropos1, &QAction::triggered, this, [this] { Apropos1Click(); });
}

void TForm1::GeneThumbnailsBTNClick() { GenerateThumbnails(); }
void TForm1::GeneHTMLBTNClick() { GenerateHtmlPages(); }
void TForm1::ButtonCancelClick() { AbortRequested = true; }
void TForm1::CloseButtonClick() { close(); }
void TForm1::Fermer1Click() { CloseButton->click(); }

void TForm1::CheckBox3Click() {
  const bool on = CheckBox3->isChecked();
  for (QLabel* l : {Label64, Label71, Label76, Label63, Label65, Label69, Tick1, Tick2, Tick3,
                    Tick4, Tick5, Tick6, Label75, Label74, Label78, Label73}) {
    l->setEnabled(on);
  }
}

void TForm1::Statistiquesdexcution1Click() { CheckBox3->setChecked(true); }

void TForm1::Option2Click() {
  setEnabled(false);
  OptionsForm->show();
  OptionsForm->raise();
}

void TForm1::ErreursetLog1Click() {
  setEnabled(false);
  LogForm->PageControl1->setCurrentWidget(LogForm->TabSheet5);
  LogForm->show();
  LogForm->raise();
}

void TForm1::Apropos1Click() {
  setEnabled(false);
  AboutForm->show();
  AboutForm->raise();
}

void TForm1::Aide2Click() {
  HelpForm->show();
  HelpForm->raise();
}

void TForm1::SendaEmailtosupport1Click() { AboutForm->LabelSupportClick(this); }
void TForm1::OrvanelHomePage1Click() { AboutForm->OrvanelHomeClick(this); }
void TForm1::GalvoraHomePage1Click() { AboutForm->GalvoraHomeClick(this); }
void TForm1::newversionofGalvora1Click() { AboutForm->DownHomeClick(this); }

void TForm1::CloseButtonMouseMove() { ShowHelpTopic(100); }
void TForm1::Panel2MouseMove() { ShowHelpTopic(103); }
void TForm1::GeneThumbnailsBTNMouseMove() { ShowHelpTopic(104); }
void TForm1::GeneHTMLBTNMouseMove() { ShowHelpTopic(105); }
void TForm1::RadioButton2MouseMove() { ShowHelpTopic(106); }
void TForm1::RadioButton1MouseMove() { ShowHelpTopic(107); }
void TForm1::CheckBox4MouseMove() { ShowHelpTopic(110); }
// The advanced-statistics box explains itself with the topic no other control shows.
void TForm1::CheckBox3MouseMove() { ShowHelpTopic(109); }

bool TForm1::LogFiles(const std::string& folder, const platform::FoundEntry& entry) {
  return ::LogFiles(folder, entry);
}

bool TForm1::FormCloseQuery() {
  if (!CloseButton->isHidden()) return true;
  const platform::Answer a = platform::ShowMessage(
      {ButtonCancel->text().toStdString(), "", platform::Buttons::OkCancel,
       platform::Icon::Warning});
  if (a == platform::Answer::Ok) {
    AbortRequested = true;
    return false;
  }
  return true;
}

bool TForm1::FormClose() { return RunClosingSteps(); }

void TForm1::closeEvent(QCloseEvent* event) {
  // The window stays on screen: the program ends when the message loop
  // regains control, after a run still under way has finished.
  event->ignore();
  if (!FormCloseQuery()) return;
  FormClose();
}
