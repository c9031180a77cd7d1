#include "app/SplashSceen.h"

#include <QApplication>
#include <QScreen>

#include "platform/appdir.h"
#include "support/ProceduresChaine.h"
#include "ui/Unit1.h"

TLoader* Loader = nullptr;

namespace {
QLabel* Put(QWidget* parent, const char* text, int x, int y, int w, bool blue = false) {
  QLabel* l = platform::MakeLabel(parent, QString::fromUtf8(text), x, y, w);
  if (blue) l->setStyleSheet("color: blue;");
  return l;
}
}  // namespace

TLoader::TLoader() {
  setWindowTitle("Galvora");
  setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setFixedSize(457, 121);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, p.color(QPalette::HighlightedText));
  setPalette(p);
  setCursor(Qt::WaitCursor);
  Bevel1 = new QFrame(this);
  Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Bevel1->setGeometry(0, 0, 457, 121);
  Image2 = new QLabel(this);
  Image2->setGeometry(8, 6, 440, 44);
  Image2->setPixmap(GalvoraLogo());
  Label1 = Put(this, "Version :", 8, 56, 60);
  RI1 = Put(this, "0", 70, 56, 60, true);
  Label5 = Put(this, "Revision :", 150, 56, 70);
  RI2 = Put(this, "0", 222, 56, 60, true);
  Label3 = Put(this, "Build :", 300, 56, 50);
  RI3 = Put(this, "0", 352, 56, 90, true);
  Label2 = Put(this, "Statut :", 8, 76, 60);
  Statut = Put(this, "Initializing...", 70, 76, 370, true);
  ProgressBar3D = new platform::TProgressBar3D(this);
  ProgressBar3D->setGeometry(8, 98, 441, 14);
  ProgressBar3D->setRange(0, 9);
  ProgressBar3D->setStyleSheet(
      "QProgressBar { border: 1px solid silver; background: palette(highlighted-text); }"
      "QProgressBar::chunk { background: rgb(0, 128, 192); }");

  const std::string version = platform::ProgramFileVersion();
  RI1->setText(QString::fromStdString(TextBefore(".", version) + "." + NthField(".", version, 1)));
  RI2->setText(QString::fromStdString(NthField(".", version, 2)));
  RI3->setText(QString::fromStdString(TextAfterNth(".", version, 3)));

  if (QScreen* s = QGuiApplication::primaryScreen()) {
    move(s->geometry().center() - rect().center());
  }
}

void ShowStartupStep(const std::string& text) {
  if (Loader == nullptr) return;
  Loader->Statut->setText(QString::fromStdString(text + "..."));
  Loader->StepsShown.push_back(text + "...");
  Loader->ProgressBar3D->StepBy(1);
  Loader->repaint();
}
