// The font of the program's windows.
#pragma once

#include <QFont>

namespace tessaly {

// The captions are Japanese: a sans-serif face that covers Japanese script,
// 12 pixels (9 points at 96 dpi).
[[nodiscard]] QFont InterfaceFont();

}  // namespace tessaly
