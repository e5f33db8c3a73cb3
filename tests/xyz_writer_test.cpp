// Extended XYZ frames: the layout readers rely on, and numbers that read back
// to the very doubles they were written from.
#include "model/xyz_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

#include "batch/output_file.h"
#include "model_test_util.h"
#include "xyz_reader.h"

namespace tessaly {
namespace {

using testing::ReadXyz;
using testing::WithParticles;

std::uint64_t Bits(double value) { return std::bit_cast<std::uint64_t>(value); }

std::string RoundTrip(double value) {
  std::string text;
  AppendRoundTrip(text, value);
  return text;
}

TEST(AppendRoundTrip, EveryKindOfDoubleReadsBackToTheSameBits) {
  const double values[] = {0.1,
                           1.0 / 3.0,
                           -2.0 / 3.0,
                           4.75 - 0.1 * std::sqrt(50.0),
                           9.5,
                           1e-5,
                           123456789.125,
                           std::nextafter(1.0, 2.0),
                           std::nextafter(9.0, 0.0),
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::lowest(),
                           std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min(),
                           -0.0,
                           0.0};
  for (const double value : values) {
    const std::string text = RoundTrip(value);
    EXPECT_EQ(Bits(std::strtod(text.c_str(), nullptr)), Bits(value)) << text;
    // Nothing longer than needed: 17 significant digits at most.
    EXPECT_LE(text.size(), 24u) << text;
  }
}

TEST(XyzFrame, HoldsCountCommentAndOneLinePerParticleOfTheCurrentLevel) {
  Simulation sim = WithParticles({{1.5, 2.25}, {8.0, 0.5}});
  sim.Vel[sim.CurLevel][1] = {-0.125, 3.0};
  // The other level is never written.
  sim.Pos[sim.NextLevel][1] = {7.0, 7.0};
  const std::string frame = XyzFrame(sim, 12, 1.2000000000000002, -0.0615234375);
  EXPECT_EQ(frame,
            "2\n"
            "Lattice=\"10 0 0 0 10 0 0 0 1\" Properties=species:S:1:pos:R:3:vel:R:3 "
            "pbc=\"F F F\" step=12 time=1.2000000000000002 energy=-0.0615234375\n"
            "Ar 1.5 2.25 0 -0.125 3 0\n"
            "Ar 8 0.5 0 0 0 0\n");
}

TEST(XyzFrame, FollowsCurLevelAfterAnExchange) {
  Simulation sim = WithParticles({{1.0, 1.0}});
  sim.Pos[1][1] = {2.0, 3.0};
  sim.CurLevel = 1;
  sim.NextLevel = 0;
  const auto frames = ReadXyz(XyzFrame(sim, 1, 0.1, 0.0));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].pos[0].X, 2.0);
  EXPECT_EQ(frames[0].pos[0].Y, 3.0);
}

TEST(XyzFrame, NoParticlesIsAFrameOfTwoLines) {
  Simulation sim;
  InitSimulation(sim, 0, 0.1);
  const std::string frame = XyzFrame(sim, 0, 0.0, 0.0);
  EXPECT_EQ(frame.rfind("0\nLattice=", 0), 0u);
  EXPECT_EQ(std::count(frame.begin(), frame.end(), '\n'), 2);
}

class OutputFileTest : public ::testing::Test {
 protected:
  std::string Path(const char* name) const {
    return ::testing::TempDir() + "tessaly_output_file_test_" + name;
  }
  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(OutputFileTest, WritesFramesInOrderAndBeginEmptiesAnOldFile) {
  const std::string path = Path("order.xyz");
  std::ofstream(path) << "an older and much longer file than what follows\n";
  OutputFile file;
  ASSERT_EQ(file.Open(path), "");
  file.Begin();
  file.Write("first\n");
  file.Write("second\n");
  file.Close();
  EXPECT_EQ(Contents(path), "first\nsecond\n");
  std::remove(path.c_str());
}

TEST_F(OutputFileTest, OpeningADirectoryOrAMissingFolderSaysWhy) {
  OutputFile directory;
  EXPECT_EQ(directory.Open(::testing::TempDir()), std::strerror(EISDIR));
  OutputFile missing;
  EXPECT_EQ(missing.Open(Path("no_such_folder/run.xyz")), std::strerror(ENOENT));
}

TEST_F(OutputFileTest, DiscardRemovesOnlyAFileItMadeAndOpenChangesNothing) {
  const std::string made = Path("made.csv");
  const std::string old = Path("old.csv");
  std::remove(made.c_str());
  std::ofstream(old) << "kept\n";
  OutputFile a;
  OutputFile b;
  OutputFile again;
  ASSERT_EQ(a.Open(made), "");
  ASSERT_EQ(b.Open(old), "");
  ASSERT_EQ(again.Open(old), "");
  EXPECT_TRUE(b.SameFileAs(again));
  EXPECT_FALSE(a.SameFileAs(b));
  a.Discard();
  b.Discard();
  again.Discard();
  EXPECT_FALSE(std::ifstream(made).good());
  EXPECT_EQ(Contents(old), "kept\n");
  std::remove(old.c_str());
}

TEST_F(OutputFileTest, AFullDiskIsAnErrorNotASilentLoss) {
  OutputFile file;
  ASSERT_EQ(file.Open("/dev/full"), "");
  file.Begin();  // a device is not emptied
  EXPECT_THROW(file.Write(std::string(100, 'x')), std::system_error);
}

}  // namespace
}  // namespace tessaly
