// The splash window shown while the program's windows are created.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/widgets.h"

class TLoader : public QWidget {
 public:
  TLoader();

  QFrame* Bevel1;
  QLabel* Image2;
  QLabel *Label1, *RI1, *Label5, *RI2, *Label3, *RI3, *Label2, *Statut;
  platform::TProgressBar3D* ProgressBar3D;
  // The status texts shown so far, in order.
  std::vector<std::string> StepsShown;
};

extern TLoader* Loader;

// Shows a start-up step: its text followed by "...", the bar one step further.
void ShowStartupStep(const std::string& text);
