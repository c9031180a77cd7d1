#include "platform/widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <cmath>

#include "platform/dirsearch.h"

namespace platform {
namespace {

constexpr const char* kMoveHandler = "galvoraMouseMove";

// A mouse movement goes to the control under the mouse only: Qt offers a
// movement that a control ignores to its parents too, and a parent with a
// handler of its own must not take over its child's.
class MouseMoveFilter : public QObject {
 public:
  MouseMoveFilter(QWidget* parent, std::function<void()> handler)
      : QObject(parent), widget_(parent), handler_(std::move(handler)) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::MouseMove) return false;
    const QPoint pos = static_cast<QMouseEvent*>(e)->position().toPoint();
    for (QWidget* w = widget_->childAt(pos); w != nullptr && w != widget_; w = w->parentWidget()) {
      if (w->property(kMoveHandler).toBool()) return false;
    }
    handler_();
    return false;
  }

 private:
  QWidget* widget_;
  std::function<void()> handler_;
};

class EventFilter : public QObject {
 public:
  EventFilter(QObject* parent, QEvent::Type type, std::function<void()> handler)
      : QObject(parent), type_(type), handler_(std::move(handler)) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == type_) handler_();
    return false;
  }

 private:
  QEvent::Type type_;
  std::function<void()> handler_;
};

}  // namespace

void OnMouseMove(QWidget* widget, std::function<void()> handler) {
  widget->setMouseTracking(true);
  widget->setProperty(kMoveHandler, true);
  widget->installEventFilter(new MouseMoveFilter(widget, std::move(handler)));
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int w, int h) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, w, h);
  return l;
}

void OnEvent(QWidget* widget, QEvent::Type type, std::function<void()> handler) {
  widget->installEventFilter(new EventFilter(widget, type, std::move(handler)));
}

void OnClose(QWidget* window, std::function<void()> handler) {
  OnEvent(window, QEvent::Close, std::move(handler));
}

TSpinEdit::TSpinEdit(QWidget* parent, int minValue, int maxValue, int value) : QSpinBox(parent) {
  setRange(minValue, maxValue);
  setValue(value);
}

int TSpinEdit::Value() const { return valueFromText(text()); }

void TSpinEdit::SetText(const std::string& text) {
  lineEdit()->setText(QString::fromStdString(text));
  setValue(valueFromText(lineEdit()->text()));
}

QValidator::State TSpinEdit::validate(QString&, int&) const { return QValidator::Intermediate; }

int TSpinEdit::valueFromText(const QString& text) const {
  bool ok = false;
  const qlonglong v = text.trimmed().toLongLong(&ok);
  if (!ok) return minimum();
  return static_cast<int>(std::clamp<qlonglong>(v, minimum(), maximum()));
}

TFlatButton::TFlatButton(QWidget* parent, const QString& caption) : QToolButton(parent) {
  setText(caption);
  setAutoRaise(true);
  setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  setIconSize(QSize(16, 16));
}

TProgressBar3D::TProgressBar3D(QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(false);
}

TAnimate::TAnimate(QWidget* parent) : QWidget(parent) {}

void TAnimate::SetActive(bool on) {
  if (on == active_) return;
  active_ = on;
  if (on) {
    frame_ = 0;
    timer_ = startTimer(60);
  } else if (timer_ != 0) {
    killTimer(timer_);
    timer_ = 0;
  }
  update();
}

void TAnimate::timerEvent(QTimerEvent*) {
  frame_ = (frame_ + 1) % 30;  // the clip has 30 frames, 0 to 29
  update();
}

void TAnimate::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF folder(8, 16, width() - 24, height() - 22);
  p.setPen(QPen(QColor(150, 110, 20), 1));
  p.setBrush(QColor(240, 200, 80));
  p.drawRoundedRect(QRectF(folder.left(), folder.top() - 6, folder.width() * 0.4, 10), 2, 2);
  p.drawRoundedRect(folder, 3, 3);
  // The glass travels to and fro across the folder.
  const double t = std::sin(frame_ / 29.0 * 2 * M_PI);
  const QPointF c(folder.center().x() + t * folder.width() * 0.3, folder.center().y());
  p.setBrush(QColor(200, 230, 255, 170));
  p.setPen(QPen(QColor(60, 60, 60), 2.5));
  p.drawEllipse(c, 9, 9);
  p.drawLine(c + QPointF(6.5, 6.5), c + QPointF(15, 15));
}

TLsDirTreeCombo::TLsDirTreeCombo(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  text_ = new QLineEdit(this);
  text_->setReadOnly(true);
  button_ = new QToolButton(this);
  button_->setArrowType(Qt::DownArrow);
  layout->addWidget(text_);
  layout->addWidget(button_);
  connect(button_, &QToolButton::clicked, this, [this] { ShowTree(); });
}

void TLsDirTreeCombo::SetSelectedPath(const std::string& path) {
  selected_ = path;
  while (selected_.size() > 1 && selected_.back() == '/') selected_.pop_back();
  text_->setText(QString::fromStdString(selected_));
}

void TLsDirTreeCombo::OpenPath(const std::string& path) {
  if (!DirectoryExists(path)) return;
  SetSelectedPath(path);
}

void TLsDirTreeCombo::ShowTree() {
  auto* popup = new QTreeView(nullptr);
  popup->setWindowFlags(Qt::Popup);
  popup->setAttribute(Qt::WA_DeleteOnClose);
  auto* model = new QFileSystemModel(popup);
  model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model->setRootPath("/");
  popup->setModel(model);
  for (int c = 1; c < model->columnCount(); ++c) popup->hideColumn(c);
  popup->setHeaderHidden(true);
  // The model reads folders in the background: show the selected one once its
  // parents are read.
  const QString selected = QString::fromStdString(selected_);
  auto reveal = [popup, model, selected] {
    const QModelIndex current = model->index(selected);
    if (!current.isValid()) return;
    popup->setCurrentIndex(current);
    popup->scrollTo(current, QAbstractItemView::PositionAtCenter);
  };
  reveal();
  connect(model, &QFileSystemModel::directoryLoaded, popup, reveal);
  connect(popup, &QTreeView::clicked, this, [this, popup, model](const QModelIndex& i) {
    SetSelectedPath(model->filePath(i).toStdString());
    popup->close();
  });
  popup->resize(width(), DropDownHeight);
  popup->move(mapToGlobal(QPoint(0, height())));
  popup->show();
}

TExtListView::TExtListView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAlternatingRowColors(false);
  header()->setSectionsClickable(true);
  header()->setSortIndicatorShown(false);
  connect(header(), &QHeaderView::sectionClicked, this, [this](int c) { ClickHeader(c); });
}

void TExtListView::ClickHeader(int column) {
  order_ = (column == sortColumn_ && order_ == Qt::AscendingOrder) ? Qt::DescendingOrder
                                                                   : Qt::AscendingOrder;
  sortColumn_ = column;
  sortItems(column, order_);
}

QIcon FileTypeIcon(const std::string& extension) {
  static QMimeDatabase db;
  const QMimeType mime = db.mimeTypeForFile("x" + QString::fromStdString(extension),
                                            QMimeDatabase::MatchExtension);
  QIcon icon = QIcon::fromTheme(mime.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(mime.genericIconName());
  if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
  return icon;
}

void ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void SetupLook() {
  QApplication::setStyle("Fusion");
  QFont font("Liberation Sans");
  font.setPixelSize(11);
  QApplication::setFont(font);
}

void CenterOnScreen(QWidget* window) {
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    const QSize size = window->frameSize().isValid() ? window->frameSize() : window->size();
    window->move(s->availableGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
  }
}

}  // namespace platform
