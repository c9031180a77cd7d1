// Controls of the form library that Qt lacks as such: spin edits with a
// range, flat buttons with glyphs, the 3-D progress bar, the folder-search
// animation, the folder tree drop-down, the list view with check boxes, image
// lists, and a way to receive a control's mouse-move events.
#pragma once

#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

class QTreeView;
class QFileSystemModel;

namespace platform {

// Calls `handler` on every mouse movement over `widget` (buttons up or down).
void OnMouseMove(QWidget* widget, std::function<void()> handler);
// A label with its text at the given place and size.
QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int w, int h = 16);

// Calls `handler` whenever `widget` receives an event of that type.
void OnEvent(QWidget* widget, QEvent::Type type, std::function<void()> handler);
// Calls `handler` when the window is closed by its close box (it is then hidden).
void OnClose(QWidget* window, std::function<void()> handler);

// A spin edit: a value outside MinValue..MaxValue is brought to the nearest
// bound; text that is not a whole number counts as the minimum.
class TSpinEdit : public QSpinBox {
 public:
  TSpinEdit(QWidget* parent, int minValue, int maxValue, int value);
  int MinValue() const { return minimum(); }
  int MaxValue() const { return maximum(); }
  int Value() const;
  void SetValue(int v) { setValue(v); }
  // Sets the text as typed; Value() then reads it as described above.
  void SetText(const std::string& text);

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
};

// A flat button with a glyph left of its caption.
class TFlatButton : public QToolButton {
 public:
  TFlatButton(QWidget* parent, const QString& caption);
};

class TProgressBar3D : public QProgressBar {
 public:
  explicit TProgressBar3D(QWidget* parent);
  void StepBy(int n) { setValue(std::min(maximum(), value() + n)); }
};

// The animation of a search in a folder: a magnifying glass moving over a
// folder, played frame by frame while active.
class TAnimate : public QWidget {
 public:
  explicit TAnimate(QWidget* parent);
  bool Active() const { return active_; }
  void SetActive(bool on);
  int Frame() const { return frame_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void timerEvent(QTimerEvent*) override;

 private:
  bool active_ = false;
  int frame_ = 0;
  int timer_ = 0;
};

// A folder tree drop-down: a read-only text showing the selected folder and
// a button that opens the folder tree below it.
class TLsDirTreeCombo : public QWidget {
 public:
  explicit TLsDirTreeCombo(QWidget* parent);
  // The selected folder; only the root ends with a separator.
  std::string SelectedPath() const { return selected_; }
  void SetSelectedPath(const std::string& path);
  // Expands the tree down to the folder, selects it and shows it as the
  // text; nothing when the folder does not exist.
  void OpenPath(const std::string& path);
  int DropDownHeight = 450;

 private:
  void ShowTree();

  QLineEdit* text_;
  QToolButton* button_;
  std::string selected_;
};

// A report-style list with a check box per row and whole-row selection;
// a click on a column header sorts by that column, a second click reverses.
class TExtListView : public QTreeWidget {
 public:
  explicit TExtListView(QWidget* parent);
  int RowCount() const { return topLevelItemCount(); }
  QTreeWidgetItem* Row(int i) const { return topLevelItem(i); }
  bool Checked(int i) const { return Row(i)->checkState(0) == Qt::Checked; }
  void SetChecked(int i, bool on) { Row(i)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked); }
  void ClickHeader(int column);

 private:
  int sortColumn_ = -1;
  Qt::SortOrder order_ = Qt::AscendingOrder;
};

// An image list: icons addressed by index.
struct TImageList {
  std::vector<QIcon> images;
  QIcon Icon(int index) const {
    return index >= 0 && index < static_cast<int>(images.size()) ? images[index] : QIcon();
  }
};

// The icon the desktop shows for files with this extension (".jpg").
QIcon FileTypeIcon(const std::string& extension);

// Processes the pending events of the user interface.
void ProcessMessages();

// The program's style and font, close to the metrics its windows were laid out for.
void SetupLook();
// Places a window in the middle of the screen.
void CenterOnScreen(QWidget* window);

}  // namespace platform
