// Whether the window can be shown here, asked before QApplication is made:
// Qt ends a program whose display it cannot open with an abort and a long
// message about platform plugins, where one line saying what to do helps more.
#pragma once

#include <string>

namespace tessaly {

// Why no window can be opened, in a few words ("no display to open the window
// on (DISPLAY and WAYLAND_DISPLAY are unset)"), or an empty string when a
// display looks usable.
//
// Only X11 is checked by connecting to it, and only when Qt would use it: when
// QT_QPA_PLATFORM asks for xcb, or names no platform while WAYLAND_DISPLAY is
// unset. Any other platform Qt is asked for (offscreen, wayland, vnc, ...) is
// left to Qt.
[[nodiscard]] std::string DisplayProblem();

}  // namespace tessaly
