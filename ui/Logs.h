// The log window: the action list (order of addition) and the error list
// (sorted, ignoring case), and the log lines the program writes into them.
#pragma once

#include <QListWidget>
#include <QMenu>
#include <QTabWidget>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/logfile.h"

class TLogForm : public QWidget {
 public:
  TLogForm();

  QTabWidget* PageControl1;
  QWidget* TabSheet5;
  QListWidget* ACTIONLOG;
  QWidget* TabSheet7;
  QListWidget* ERRORLOG;
  QMenu* LogPopupMenu;
  QMenu* Actionseffectues1;
  QAction* Effacerleslogs1;
  QMenu* Erreursreportes1;
  QAction* Effacerleslogs2;

  void Effacerleslogs1Click() { ACTIONLOG->clear(); }
  void Effacerleslogs2Click() { ERRORLOG->clear(); }
  void ERRORLOGMouseMove();
  void FormClose();
};

extern TLogForm* LogForm;

// The current date and time as the log lines show it: the short date, a
// space and the long time of the user's locale (no time part at midnight).
std::string DateTimeText();

// Adds "<date time>: <text of key><subject>" to the action or error list.
void AddActionLine(int key, const std::string& subject = "");
void AddErrorLine(int key, const std::string& subject);
// Adds a line as it is (the empty separator line).
void AddActionText(const std::string& text);
// Inserts a line into the error list at its sorted place.
void InsertErrorSorted(const std::string& text);
void InsertSorted(QListWidget* list, const std::string& text);

// The lines of a list, and replacing them.
std::vector<std::string> ListLines(const QListWidget* list);
void SetListLines(QListWidget* list, const std::vector<std::string>& lines, bool sorted);
