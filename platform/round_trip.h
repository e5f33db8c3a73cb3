// Doubles written so that they read back to the same bits: the trajectory,
// the table of energies and the texts that share a run all write numbers so.
#pragma once

#include <string>

namespace tessaly {

// Appends `value` in its shortest round-trip decimal form ("0.1", "1e-07",
// "-0"). The value must be finite.
void AppendRoundTrip(std::string& out, double value);

}  // namespace tessaly
