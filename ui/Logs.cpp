#include "ui/Logs.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QLocale>
#include <QVBoxLayout>

#include "i18n/Languages.h"
#include "platform/collate.h"
#include "platform/widgets.h"
#include "ui/Help.h"
#include "ui/Unit1.h"

TLogForm* LogForm = nullptr;

TLogForm::TLogForm() {
  setWindowTitle("Logs");
  setWindowFlags(Qt::Window);
  resize(460, 300);
  platform::CenterOnScreen(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  PageControl1 = new QTabWidget(this);
  layout->addWidget(PageControl1);

  TabSheet5 = new QWidget;
  ACTIONLOG = new QListWidget(TabSheet5);
  ACTIONLOG->setStyleSheet("color: blue;");
  (new QVBoxLayout(TabSheet5))->addWidget(ACTIONLOG);
  TabSheet7 = new QWidget;
  ERRORLOG = new QListWidget(TabSheet7);
  ERRORLOG->setStyleSheet("QListWidget { color: red; background: white; }");
  (new QVBoxLayout(TabSheet7))->addWidget(ERRORLOG);
  const QIcon tabIcon = Form1 ? Form1->APPImgList.Icon(3) : QIcon();
  PageControl1->addTab(TabSheet5, tabIcon, QString::fromUtf8("Actions effectuées"));
  PageControl1->addTab(TabSheet7, tabIcon, QString::fromUtf8("Erreurs reportées"));
  PageControl1->setCurrentIndex(1);

  const auto images = Form1 ? Form1->PopupImageList : MakePopupImages();
  LogPopupMenu = new QMenu(this);
  Actionseffectues1 = LogPopupMenu->addMenu(images.Icon(1), QString::fromUtf8("Actions effectuées"));
  Effacerleslogs1 = Actionseffectues1->addAction(images.Icon(2), "Effacer les logs");
  Erreursreportes1 = LogPopupMenu->addMenu(images.Icon(0), QString::fromUtf8("Erreurs reportées"));
  Effacerleslogs2 = Erreursreportes1->addAction(images.Icon(2), "Effacer les logs");
  connect(Effacerleslogs1, &QAction::triggered, this, [this] { Effacerleslogs1Click(); });
  connect(Effacerleslogs2, &QAction::triggered, this, [this] { Effacerleslogs2Click(); });
  for (QWidget* w : {static_cast<QWidget*>(ACTIONLOG), static_cast<QWidget*>(ERRORLOG),
                     TabSheet5, TabSheet7}) {
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this,
            [this, w](const QPoint& p) { LogPopupMenu->popup(w->mapToGlobal(p)); });
  }
  platform::OnMouseMove(ERRORLOG, [this] { ERRORLOGMouseMove(); });
  platform::OnClose(this, [this] { FormClose(); });
}

void TLogForm::ERRORLOGMouseMove() { ShowHelpTopic(108); }

void TLogForm::FormClose() {
  if (Form1) Form1->setEnabled(true);
}

std::string DateTimeText() {
  const QLocale locale = QLocale::system();
  const QDateTime now = QDateTime::currentDateTime();
  QString text = locale.toString(now.date(), QLocale::ShortFormat);
  if (now.time() != QTime(0, 0)) {
    // The long time without the time zone, which the long format may carry.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove('t');
    text += ' ' + now.time().toString(format.trimmed());
  }
  return text.toStdString();
}

void AddActionLine(int key, const std::string& subject) {
  AddActionText(DateTimeText() + ": " + Text(key) + subject);
}

void AddActionText(const std::string& text) {
  LogForm->ACTIONLOG->addItem(QString::fromStdString(text));
}

void AddErrorLine(int key, const std::string& subject) {
  InsertErrorSorted(DateTimeText() + ": " + Text(key) + subject);
}

void InsertErrorSorted(const std::string& text) { InsertSorted(LogForm->ERRORLOG, text); }

void InsertSorted(QListWidget* list, const std::string& text) {
  int lo = 0, hi = list->count();
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (platform::CompareTextLocale(list->item(mid)->text().toStdString(), text) <= 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  list->insertItem(lo, QString::fromStdString(text));
}

std::vector<std::string> ListLines(const QListWidget* list) {
  std::vector<std::string> lines;
  lines.reserve(list->count());
  for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
  return lines;
}

void SetListLines(QListWidget* list, const std::vector<std::string>& lines, bool sorted) {
  list->clear();
  if (!sorted) {
    for (const auto& l : lines) list->addItem(QString::fromStdString(l));
    return;
  }
  for (const auto& l : lines) InsertSorted(list, l);
}
