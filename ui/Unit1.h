// The main window: the two generation commands, the run options, the
// counters, the statistics panel and the menu that opens the other windows.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QRadioButton>
#include <string>

#include "platform/dirsearch.h"
#include "platform/widgets.h"

class TForm1 : public QMainWindow {
 public:
  TForm1();

  platform::TFlatButton* GeneThumbnailsBTN;
  platform::TFlatButton* GeneHTMLBTN;
  QGroupBox* GroupBox9;
  QRadioButton* RadioButton2;
  QRadioButton* RadioButton1;
  QCheckBox* CheckBox4;
  QFrame* Bevel1;
  QLabel* Image1;
  platform::TAnimate* Animate2;
  platform::TProgressBar3D* Gauge1;
  platform::TFlatButton* ButtonCancel;
  platform::TFlatButton* CloseButton;
  QGroupBox* GroupBox8;
  QCheckBox* CheckBox3;
  QLabel* Image2;
  QFrame* Panel2;
  QLabel *Label14, *Label60, *Label11, *Label59, *Label8, *Label55, *Label10;
  QFrame* Panel1;
  QLabel *Label64, *Label71, *Label76, *Label63, *Label65, *Label69;
  QLabel *Tick1, *Tick2, *Tick3, *Tick4, *Tick5, *Tick6;
  QLabel *Label75, *Label74, *Label78, *Label73;
  platform::TImageList APPImgList;
  platform::TImageList PopupImageList;

  QMenu* Fichier1;
  QAction* Fermer1;
  QMenu* Gnrationdefichiers1;
  QAction* Statistiquesdexcution1;
  QAction* Option2;
  QMenu* Afficher1;
  QAction* ErreursetLog1;
  QMenu* Aide1;
  QAction* Aide2;
  QAction* SendaEmailtosupport1;
  QMenu* Webpages1;
  QAction* OrvanelHomePage1;
  QAction* GalvoraHomePage1;
  QAction* newversionofGalvora1;
  QAction* Apropos1;

  // Event handlers.
  void GeneThumbnailsBTNClick();
  void GeneHTMLBTNClick();
  void ButtonCancelClick();
  void CloseButtonClick();
  void Fermer1Click();
  void CheckBox3Click();
  void Statistiquesdexcution1Click();
  void Option2Click();
  void ErreursetLog1Click();
  void Apropos1Click();
  void Aide2Click();
  void SendaEmailtosupport1Click();
  void OrvanelHomePage1Click();
  void GalvoraHomePage1Click();
  void newversionofGalvora1Click();
  void FormCreate() {}
  // Close request: false keeps the window open.
  bool FormCloseQuery();
  // The closing steps; false when saving failed and the program goes on.
  bool FormClose();
  void CloseButtonMouseMove();
  void Panel2MouseMove();
  void GeneThumbnailsBTNMouseMove();
  void GeneHTMLBTNMouseMove();
  void RadioButton2MouseMove();
  void RadioButton1MouseMove();
  void CheckBox4MouseMove();
  void CheckBox3MouseMove();

  // The collection callback: adds the file to FileList; true goes on.
  bool LogFiles(const std::string& folder, const platform::FoundEntry& entry);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
};

extern TForm1* Form1;

// Design assets: the program's logo and the images of the two image lists.
QPixmap GalvoraLogo();
platform::TImageList MakeAppImages();
platform::TImageList MakePopupImages();
