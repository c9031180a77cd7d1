#include "app/Startup.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <exception>

#include "app/SplashSceen.h"
#include "generation/Collection.h"
#include "generation/ProceduresSysImgList.h"
#include "platform/appdir.h"
#include "platform/dialogs.h"
#include "platform/dirsearch.h"
#include "settings/GestionINI.h"
#include "settings/Options.h"
#include "ui/About.h"
#include "ui/Help.h"
#include "ui/Logs.h"
#include "ui/Unit1.h"

namespace {
bool terminateRequested = false;
}

bool TerminateRequested() { return terminateRequested; }

bool CreateApplicationWindows() {
  ShowSplash();
  const bool created = CreateWindows();
  ReleaseSplash();
  return created;
}

void ShowSplash() {
  terminateRequested = false;
  QApplication::setApplicationName("Galvora");
  Loader = new TLoader;
  Loader->show();
  Loader->repaint();
}

bool CreateWindows() {
  bool created = true;
  try {
    FileList = new TFileList;
    Form1 = new TForm1;
    LogForm = new TLogForm;
    AboutForm = new TAboutForm;
    HelpForm = new THelpForm;
    OptionsForm = new TOptionsForm;
    OptionsForm->FormCreate();
  } catch (const std::exception& e) {
    platform::ShowErrorBox(e.what());
    created = false;
  }
  return created;
}

void ReleaseSplash() {
  if (Loader == nullptr) return;
  Loader->hide();
  Loader->deleteLater();
  Loader = nullptr;
}

void DestroyApplicationWindows() {
  delete OptionsForm;
  OptionsForm = nullptr;
  delete HelpForm;
  HelpForm = nullptr;
  delete AboutForm;
  AboutForm = nullptr;
  delete LogForm;
  LogForm = nullptr;
  delete Form1;
  Form1 = nullptr;
  delete FileList;
  FileList = nullptr;
  FreeSystemImageList();
}

void SetAboutVersionTexts() {
  if (Loader == nullptr) return;
  AboutForm->SetVersionTexts(Loader->RI1->text().toStdString(), Loader->RI2->text().toStdString(),
                             Loader->RI3->text().toStdString());
}

void PrepareProgramFolders() {
  const std::string dir = platform::ProgramFolder();
  platform::ForceDirectories(dir + "Logs");
  platform::ForceDirectories(dir + "Language");
}

void SetStartupImages() {
  AboutForm->AboutImage->setPixmap(Loader ? Loader->Image2->pixmap() : GalvoraLogo());
  Form1->GeneThumbnailsBTN->setIcon(Form1->APPImgList.Icon(22));
  Form1->GeneHTMLBTN->setIcon(Form1->APPImgList.Icon(8));
  Form1->CloseButton->setIcon(Form1->APPImgList.Icon(16));
  AboutForm->CloseButton->setIcon(Form1->APPImgList.Icon(16));
  Form1->ButtonCancel->setIcon(Form1->PopupImageList.Icon(0));
}

void AddStartupLine() { AddActionLine(11011); }

std::string DefaultFolder() {
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  if (!pictures.isEmpty() && QDir(pictures).exists()) return pictures.toStdString();
  return QDir::homePath().toStdString();
}

bool RunClosingSteps() {
  AddActionLine(11012);
  AddActionText("");
  try {
    if (ResetRequested) {
      EraseSettings();
    } else {
      SaveSettings();
    }
  } catch (const std::exception& e) {
    platform::ShowErrorBox(e.what());
    return false;
  }
  FreeSystemImageList();
  terminateRequested = true;
  QCoreApplication::quit();
  return true;
}
