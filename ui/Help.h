// The help window, which explains the control under the mouse.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>
#include <cstdint>

class THelpForm : public QWidget {
 public:
  THelpForm();
  QPlainTextEdit* HelpMemo;
};

extern THelpForm* HelpForm;

// Shows the help text of a topic (empty for a topic without one).
void ShowHelpTopic(std::uint32_t topic);
// The text a topic shows: the help entry "11" + topic for the topics that have one.
std::string HelpTopicText(std::uint32_t topic);
