#include "app/display_check.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace tessaly {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Connects the way Qt's xcb platform does, authentication included, and
// leaves again at once.
bool XDisplayAnswers(const std::string& display) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  const bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
}

}  // namespace

std::string DisplayProblem() {
  const std::string platform = Environment("QT_QPA_PLATFORM");
  const std::string display = Environment("DISPLAY");
  const bool wants_xcb = std::string_view(platform).substr(0, 3) == "xcb";
  if (!platform.empty() && !wants_xcb) return {};
  if (platform.empty() && !Environment("WAYLAND_DISPLAY").empty()) return {};
  if (display.empty()) {
    return wants_xcb ? "no display to open the window on (DISPLAY is unset)"
                     : "no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset)";
  }
  if (!XDisplayAnswers(display)) {
    return "no display to open the window on (DISPLAY=" + display + " does not answer)";
  }
  return {};
}

}  // namespace tessaly
