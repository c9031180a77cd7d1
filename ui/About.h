// The About window: version, credits and the support and web links.
#pragma once

#include <QLabel>
#include <QWidget>
#include <string>

#include "platform/widgets.h"

class TAboutForm : public QWidget {
 public:
  TAboutForm();

  QLabel* AboutImage;
  QLabel* LabelVersion;
  QLabel *Label2, *Label54, *Label55, *LabelKestrin;
  QLabel *Label1, *Label8, *Label48, *Label6, *Label47;
  QLabel *Label3, *Label53, *LabelSupport;
  QLabel *Label4, *Label5, *OrvanelHome, *GalvoraHome, *DownHome;
  platform::TFlatButton* CloseButton;

  void LabelKestrinClick(QObject* sender);
  void LabelSupportClick(QObject* sender);
  void OrvanelHomeClick(QObject* sender);
  void GalvoraHomeClick(QObject* sender);
  void DownHomeClick(QObject* sender);
  void CloseButtonClick();
  void FormClose();

  // Builds the caption and the version label from the splash's version texts.
  void SetVersionTexts(const std::string& version, const std::string& revision,
                       const std::string& build);
  // The program version, major.minor, held as the version label's hint.
  std::string VersionHint() const { return LabelVersion->toolTip().toStdString(); }
};

extern TAboutForm* AboutForm;

// The maker's addresses.
inline constexpr const char* kMakerSite = "https://www.galvora.example";
inline constexpr const char* kAuthorName = "Galvora team";
inline constexpr const char* kAuthorAddress = "team@galvora.example";
inline constexpr const char* kSupportAddress = "support@galvora.example";

// The mailto text with the body that tells the version, system and screen.
std::string ComposeMailUrl(const std::string& mailto);
