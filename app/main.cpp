#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "ui/main_window.h"

namespace {

// Without a display Qt would abort with a long message about platform
// plugins; one plain line saying what to do helps more.
bool DisplayReachable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!DisplayReachable()) {
    std::fprintf(stderr,
                 "tessaly: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
                 "unset); start it from a desktop session, or run it as: xvfb-run %s\n",
                 argc > 0 ? argv[0] : "tessaly");
    return 2;
  }
  QApplication app(argc, argv);
  tessaly::MainWindow window;
  window.show();
  return app.exec();
}
