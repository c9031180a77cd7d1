#include "ui/Help.h"

#include <QVBoxLayout>
#include <algorithm>

#include "i18n/Languages.h"
#include "platform/widgets.h"

THelpForm* HelpForm = nullptr;

THelpForm::THelpForm() {
  setWindowTitle("Help");
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
  resize(233, 132);
  platform::CenterOnScreen(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  HelpMemo = new QPlainTextEdit(this);
  HelpMemo->setReadOnly(true);
  HelpMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  HelpMemo->setStyleSheet("QPlainTextEdit { background: palette(tooltip-base); color: blue; "
                          "font-size: 13px; }");
  layout->addWidget(HelpMemo);
}

std::string HelpTopicText(std::uint32_t topic) {
  const int t = static_cast<int>(std::min<std::uint32_t>(topic, 1000));
  return IsHelpTopic(t) ? Text(11000 + t) : std::string();
}

void ShowHelpTopic(std::uint32_t topic) {
  if (HelpForm == nullptr) return;
  // The memo is emptied, then holds the topic's text as one line, read from its start.
  HelpForm->HelpMemo->setPlainText(QString::fromStdString(HelpTopicText(topic)));
}
