// The mapping of the world onto a drawing surface, and the picture of the
// particles.
#pragma once

namespace tessaly {

struct Simulation;
class PictureBox;

// Gives `surface` a user coordinate system with (x1, y1) at the top left of
// its client area and (x2, y2) at the bottom right: ScaleHeight = y2 - y1,
// ScaleWidth = x2 - x1, ScaleTop = y1, ScaleLeft = x1, each as a 32-bit float
// and set in that order. Raises RuntimeError if the surface refuses one
// (x1 == x2 or y1 == y2).
void SetUserScale(PictureBox& surface, double x1, double y1, double x2, double y2);

// Clears `surface` and draws level CurLevel of particles 1..N in ascending
// order as black discs with a white rim, one world unit across horizontally
// and round on screen; later particles cover earlier ones. Reads the
// simulation only.
void DrawParticles(const Simulation& sim, PictureBox& surface);

}  // namespace tessaly
