// Galvora: turns folders of pictures into a small static web gallery.
#include <QApplication>
#include <QFont>

#include "app/Startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Galvora");
  QApplication::setStyle("Fusion");
  QFont font("DejaVu Sans");
  font.setPixelSize(11);
  QApplication::setFont(font);
  QApplication::setQuitOnLastWindowClosed(false);
  if (!CreateApplicationWindows()) return 1;
  const int code = QApplication::exec();
  DestroyApplicationWindows();
  return code;
}
