// The program's icon: four discs, blue at upper left, yellow at upper right,
// cyan at lower left and green at lower right, drawn in colours of the
// classic 16-colour palette.
#pragma once

#include <QIcon>
#include <QImage>

namespace tessaly {

// The icon drawn at `size` x `size` pixels on a transparent background.
[[nodiscard]] QImage DrawAppIcon(int size);

// The window icon at the usual sizes (16, 24, 32, 48, 64 and 256 pixels).
[[nodiscard]] QIcon MakeAppIcon();

}  // namespace tessaly
