#include "ui/About.h"

#include <QEvent>
#include <QFrame>

#include "platform/shell.h"
#include "support/ProceduresChaine.h"
#include "ui/Unit1.h"

TAboutForm* AboutForm = nullptr;

namespace {

QLabel* Put(QWidget* parent, const QString& text, int x, int y, int w, bool bold = false) {
  QLabel* l = platform::MakeLabel(parent, text, x, y, w);
  QFont f = l->font();
  f.setPixelSize(11);
  f.setBold(bold);
  l->setFont(f);
  return l;
}

QLabel* Heading(QWidget* parent, const QString& text, int y) {
  QLabel* l = Put(parent, text, 8, y, 120, true);
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(100, y + 8, 336, 2);
  return l;
}

QLabel* Link(QWidget* parent, const QString& text, int x, int y, int w, bool centred) {
  QLabel* l = Put(parent, text, x, y, w);
  l->setStyleSheet("color: rgb(31, 140, 214);");
  l->setCursor(Qt::PointingHandCursor);
  if (centred) l->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  return l;
}

// Makes a label run `handler` when clicked.
void OnClick(QLabel* label, std::function<void()> handler) {
  platform::OnEvent(label, QEvent::MouseButtonRelease, std::move(handler));
}

}  // namespace

TAboutForm::TAboutForm() {
  setWindowTitle("Galvora");
  setWindowFlags(Qt::Tool | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(444, 313);
  platform::CenterOnScreen(this);

  auto* top = new QFrame(this);
  top->setFrameStyle(QFrame::Panel | QFrame::Raised);
  top->setGeometry(0, 0, 444, 72);
  AboutImage = new QLabel(top);
  AboutImage->setGeometry(2, 2, 440, 44);
  LabelVersion = Link(top, "???", 200, 50, 236, false);
  LabelVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  LabelVersion->setCursor(Qt::ArrowCursor);

  auto* credits = new QFrame(this);
  credits->setFrameStyle(QFrame::Panel | QFrame::Raised);
  credits->setGeometry(0, 72, 444, 241);
  Label2 = Heading(credits, "Credits", 4);
  Label54 = Put(credits, "Main programmers :", 16, 22, 130, true);
  Label55 = Put(credits, kAuthorName, 150, 22, 130);
  LabelKestrin = Link(credits, kAuthorAddress, 280, 22, 160, false);
  Label1 = Heading(credits, "Langues", 42);
  Label8 = Put(credits, "English :", 16, 60, 130, true);
  Label48 = Put(credits, kAuthorName, 150, 60, 200);
  Label6 = Put(credits, QString::fromUtf8("Français :"), 16, 76, 130, true);
  Label47 = Put(credits, kAuthorName, 150, 76, 200);
  Label3 = Heading(credits, "Contacts", 96);
  Label53 = Put(credits, "Support :", 16, 114, 130, true);
  LabelSupport = Link(credits, "Send an Email there for any bugs reports", 150, 114, 270, true);
  Label4 = Heading(credits, "One Line Stuff", 134);
  Label5 = Put(credits, "Web :", 16, 152, 130, true);
  OrvanelHome = Link(credits, "galvora.example Home Page", 100, 152, 240, true);
  GalvoraHome = Link(credits, "Galvora Home Page", 100, 168, 240, true);
  DownHome = Link(credits, "Check for new version of Galvora", 100, 184, 240, true);
  CloseButton = new platform::TFlatButton(credits, "Fermer");
  CloseButton->setGeometry(444 - 81 - 8, 241 - 49 - 6, 81, 49);

  OnClick(LabelKestrin, [this] { LabelKestrinClick(LabelKestrin); });
  OnClick(LabelSupport, [this] { LabelSupportClick(LabelSupport); });
  OnClick(OrvanelHome, [this] { OrvanelHomeClick(OrvanelHome); });
  OnClick(GalvoraHome, [this] { GalvoraHomeClick(GalvoraHome); });
  OnClick(DownHome, [this] { DownHomeClick(DownHome); });
  connect(CloseButton, &QToolButton::clicked, this, [this] { CloseButtonClick(); });
  platform::OnClose(this, [this] { FormClose(); });
}

void TAboutForm::SetVersionTexts(const std::string& version, const std::string& revision,
                                 const std::string& build) {
  setWindowTitle(QString::fromStdString("Galvora [Version : " + version + " Revision: " +
                                        revision + " Built: " + build + "]"));
  LabelVersion->setText(
      QString::fromStdString("Version : " + version + "." + revision + "." + build));
  LabelVersion->setToolTip(QString::fromStdString(version));
}

std::string ComposeMailUrl(const std::string& mailto) {
  const platform::ScreenSize screen = platform::GetScreenSize();
  return mailto + "&body=Used Version: " + (AboutForm ? AboutForm->VersionHint() : "") +
         " on: " + WindowsVersionName() + " [" + std::to_string(screen.width) + "x" +
         std::to_string(screen.height) + "]";
}

void TAboutForm::LabelKestrinClick(QObject*) {
  platform::ShellOpen(ComposeMailUrl(std::string("mailto:") + kAuthorAddress +
                                     "?subject=About Netquill"));
}

void TAboutForm::LabelSupportClick(QObject*) {
  platform::ShellOpen(ComposeMailUrl(std::string("mailto:") + kSupportAddress +
                                     "?subject=About Netquill (Support)"));
}

void TAboutForm::OrvanelHomeClick(QObject*) { platform::ShellOpen(kMakerSite); }

void TAboutForm::GalvoraHomeClick(QObject*) {
  platform::ShellOpen(std::string(kMakerSite) + "/software/galvora");
}

void TAboutForm::DownHomeClick(QObject*) {
  platform::ShellOpen(std::string(kMakerSite) + "/download");
}

void TAboutForm::CloseButtonClick() { close(); }

void TAboutForm::FormClose() {
  if (Form1) Form1->setEnabled(true);
}
