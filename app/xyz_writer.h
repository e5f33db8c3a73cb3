// Trajectories in extended XYZ, the text format that ASE, OVITO and most
// molecular-dynamics tools read. A frame is
//
//   N
//   Lattice="10 0 0 0 10 0 0 0 1" Properties=species:S:1:pos:R:3:vel:R:3 pbc="F F F" step=k time=t
//   Ar x y 0 vx vy 0            (one line per particle, 1 to N)
//
// with the box as the lattice, z = 0, and Y growing downwards as in the
// window. Every number is written in the shortest form that reads back to the
// same double, so a reader gets the model's values bit for bit.
#pragma once

#include <cstdint>
#include <string>

#include "model/simulation.h"

namespace tessaly {

// Appends `value` in its shortest round-trip decimal form ("0.1", "1e-07",
// "-0"). The value must be finite.
void AppendRoundTrip(std::string& out, double value);

// The frame for level CurLevel of `sim`, as the state after `step` steps at
// time `time`: whole, ending in a newline.
[[nodiscard]] std::string XyzFrame(const Simulation& sim, std::uint64_t step, double time);

// An output file that takes whole frames. Each frame goes to the kernel in
// one piece before Write returns, so a run that is stopped at any point
// between two Writes leaves only complete frames behind.
class XyzFile {
 public:
  XyzFile() = default;
  XyzFile(const XyzFile&) = delete;
  XyzFile& operator=(const XyzFile&) = delete;
  ~XyzFile();

  // Creates or truncates `path`. Returns an empty string on success, else the
  // system's reason ("Is a directory", "Permission denied", ...).
  [[nodiscard]] std::string Open(const std::string& path);

  // Writes `frame` whole; throws std::system_error when the system cannot
  // take it (disk full, ...).
  void Write(const std::string& frame);

  // Closes the file; throws std::system_error if the last data could not be
  // written.
  void Close();

 private:
  int fd_ = -1;
};

}  // namespace tessaly
