// Where the picture of the box stands in the main window and what it is drawn
// on; the tests and benchmarks build surfaces of the same size and colour.
#pragma once

#include <QRect>

#include "platform/colour.h"

namespace tessaly {

// 281 x 257 pixels with its border, 277 x 253 inside it: wider than tall, so
// a world unit spans more pixels across than down.
inline constexpr QRect kPictureGeometry{8, 8, 281, 257};

// Slate grey: both the black discs and their white rims stand out on it.
inline constexpr Colour kPictureBackground = Rgb(112, 128, 144);

}  // namespace tessaly
