#include "platform/dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QMessageBox>

namespace platform {
namespace {
std::function<Answer(const MessageRequest&)>& MessageHandler() {
  static std::function<Answer(const MessageRequest&)> h;
  return h;
}
std::function<std::optional<std::uint32_t>(std::uint32_t)>& ColorHandler() {
  static std::function<std::optional<std::uint32_t>(std::uint32_t)> h;
  return h;
}
}  // namespace

Answer ShowMessage(const MessageRequest& request) {
  if (MessageHandler()) return MessageHandler()(request);
  QMessageBox box;
  box.setWindowTitle(QString::fromStdString(
      request.caption.empty() ? QApplication::applicationName().toStdString() : request.caption));
  box.setText(QString::fromStdString(request.text));
  box.setIcon(request.icon == Icon::Error     ? QMessageBox::Critical
              : request.icon == Icon::Warning ? QMessageBox::Warning
                                              : QMessageBox::Information);
  if (request.buttons == Buttons::OkCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

void ShowErrorBox(const std::string& text) {
  ShowMessage({text, "", Buttons::Ok, Icon::Error});
}

std::optional<std::uint32_t> PickColor(std::uint32_t initial, QWidget* parent) {
  if (ColorHandler()) return ColorHandler()(initial);
  const QColor start(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF);
  const QColor c = QColorDialog::getColor(start, parent);
  if (!c.isValid()) return std::nullopt;
  return static_cast<std::uint32_t>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

void SetMessageHandler(std::function<Answer(const MessageRequest&)> handler) {
  MessageHandler() = std::move(handler);
}
void SetColorHandler(std::function<std::optional<std::uint32_t>(std::uint32_t)> handler) {
  ColorHandler() = std::move(handler);
}

}  // namespace platform
