// The progress line of a long batch run.
#include "batch/progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tessaly {
namespace {

TEST(DurationText, ReadsAsPeopleSayIt) {
  EXPECT_EQ(DurationText(0.0), "0.0 s");
  EXPECT_EQ(DurationText(8.24), "8.2 s");
  EXPECT_EQ(DurationText(42.4), "42 s");
  EXPECT_EQ(DurationText(59.6), "1 min 00 s");
  EXPECT_EQ(DurationText(245.0), "4 min 05 s");
  EXPECT_EQ(DurationText(3599.6), "1 h 00 min");
  EXPECT_EQ(DurationText(7380.0), "2 h 03 min");
}

TEST(ProgressText, StepsRateAndTimeLeft) {
  EXPECT_EQ(ProgressText(1200, 5000, 4.0), "step 1200 of 5000, 300 steps/s, 13 s left");
  EXPECT_EQ(ProgressText(3, 10, 40.0), "step 3 of 10, 0.075 steps/s, 1 min 33 s left");
  EXPECT_EQ(ProgressText(0, 10, 2.0), "step 0 of 10");
  EXPECT_EQ(ProgressText(10, 10, 2.0), "step 10 of 10, 5 steps/s, 0.0 s left");
}

// A progress line drawn into memory, with a clock the test sets.
class ProgressLineTest : public ::testing::Test {
 protected:
  void SetUp() override { out_ = open_memstream(&buffer_, &size_); }
  void TearDown() override {
    std::fclose(out_);
    std::free(buffer_);
  }
  std::string Written() {
    std::fflush(out_);
    return std::string(buffer_, size_);
  }

  double now_ = 100.0;
  std::FILE* out_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
};

TEST_F(ProgressLineTest, StaysSilentDuringTheFirstSecond) {
  ProgressLine line(1000, out_, [this] { return now_; });
  for (int done = 1; done <= 900; ++done) {
    now_ += 0.001;
    line.Update(done);
  }
  line.Clear();
  EXPECT_EQ(Written(), "");
  EXPECT_FALSE(line.shown());
}

TEST_F(ProgressLineTest, AfterASecondRedrawsInPlaceAtMostFiveTimesASecond) {
  ProgressLine line(100, out_, [this] { return now_; });
  now_ += 1.0;
  line.Update(50);
  EXPECT_EQ(Written(), "\rtessaly: step 50 of 100, 50 steps/s, 1.0 s left\x1b[K");
  now_ += 0.1;
  line.Update(55);  // too soon after the last drawing
  EXPECT_EQ(Written().find("step 55"), std::string::npos);
  now_ += 0.15;
  line.Update(60);
  EXPECT_NE(Written().find("\rtessaly: step 60 of 100"), std::string::npos);
  line.Clear();
  EXPECT_TRUE(Written().ends_with("\r\x1b[K"));
  EXPECT_FALSE(line.shown());
}

}  // namespace
}  // namespace tessaly
