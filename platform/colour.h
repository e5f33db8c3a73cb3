// 24-bit colours: red + 256 x green + 65536 x blue, each component 0 to 255.
#pragma once

#include <cstdint>

namespace tessaly {

using Colour = std::int32_t;

[[nodiscard]] constexpr Colour Rgb(int red, int green, int blue) {
  return red + 256 * green + 65536 * blue;
}

[[nodiscard]] constexpr int RedOf(Colour c) { return c & 0xFF; }
[[nodiscard]] constexpr int GreenOf(Colour c) { return (c >> 8) & 0xFF; }
[[nodiscard]] constexpr int BlueOf(Colour c) { return (c >> 16) & 0xFF; }

}  // namespace tessaly
