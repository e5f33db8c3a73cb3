// Reads extended XYZ back for the tests: strict about the layout, and every
// number through strtod, so a value compares bit for bit with the double it
// was written from.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "model/simulation.h"

namespace tessaly::testing {

struct XyzFrame {
  std::uint64_t step = 0;
  double time = 0.0;
  double energy = 0.0;    // the comment's energy=
  std::vector<Vec2> pos;  // particles 1..N at index 0..N-1
  std::vector<Vec2> vel;
};

inline double Number(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  EXPECT_EQ(*end, '\0') << "not a whole number: " << text;
  return value;
}

// The complete frames of `text`; a frame cut short fails the test.
inline std::vector<XyzFrame> ReadXyz(const std::string& text) {
  static const std::string kHead =
      "Lattice=\"10 0 0 0 10 0 0 0 1\" Properties=species:S:1:pos:R:3:vel:R:3 pbc=\"F F F\" step=";
  std::vector<XyzFrame> frames;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    XyzFrame frame;
    const long n = std::stol(line);
    std::string comment;
    if (!std::getline(in, comment)) {
      ADD_FAILURE() << "frame " << frames.size() << " has no comment line";
      return frames;
    }
    EXPECT_EQ(comment.rfind(kHead, 0), 0u) << comment;
    std::istringstream rest(comment.substr(kHead.size()));
    std::string time_word, energy_word, extra_word;
    rest >> frame.step >> time_word >> energy_word;
    EXPECT_EQ(time_word.rfind("time=", 0), 0u) << comment;
    EXPECT_EQ(energy_word.rfind("energy=", 0), 0u) << comment;
    EXPECT_FALSE(rest >> extra_word) << comment;
    frame.time = Number(time_word.substr(5));
    frame.energy = Number(energy_word.substr(7));
    for (long i = 0; i < n; ++i) {
      if (!std::getline(in, line)) {
        ADD_FAILURE() << "frame " << frames.size() << " is cut short after " << i << " lines";
        return frames;
      }
      std::istringstream fields(line);
      std::string species, x, y, z, vx, vy, vz, extra;
      fields >> species >> x >> y >> z >> vx >> vy >> vz;
      EXPECT_FALSE(fields >> extra) << line;
      EXPECT_EQ(species, "Ar");
      EXPECT_EQ(z, "0");
      EXPECT_EQ(vz, "0");
      frame.pos.push_back({Number(x), Number(y)});
      frame.vel.push_back({Number(vx), Number(vy)});
    }
    frames.push_back(std::move(frame));
  }
  return frames;
}

}  // namespace tessaly::testing
