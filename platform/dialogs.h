// Message boxes, the standard error box and the colour dialog. Each is shown
// for real unless a test installed a handler that answers instead.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace platform {

enum class Buttons { Ok, OkCancel };
enum class Answer { Ok, Cancel };
enum class Icon { Information, Warning, Error };

struct MessageRequest {
  std::string text;
  std::string caption;
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::Information;
};

Answer ShowMessage(const MessageRequest& request);
// The platform's standard error box, for errors that reach the message loop.
void ShowErrorBox(const std::string& text);
// Lets the user pick a colour (red in the low byte); nothing when cancelled.
std::optional<std::uint32_t> PickColor(std::uint32_t initial, QWidget* parent);

void SetMessageHandler(std::function<Answer(const MessageRequest&)> handler);
void SetColorHandler(std::function<std::optional<std::uint32_t>(std::uint32_t)> handler);

}  // namespace platform
