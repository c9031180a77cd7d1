// Galvora: turns folders of pictures into a small static web gallery.
#include <QApplication>

#include "app/Startup.h"
#include "platform/widgets.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Galvora");
  platform::SetupLook();
  QApplication::setQuitOnLastWindowClosed(false);
  if (!CreateApplicationWindows()) return 1;
  const int code = QApplication::exec();
  DestroyApplicationWindows();
  return code;
}
