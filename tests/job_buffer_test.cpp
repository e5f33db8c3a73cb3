// The page's worker and the page's instance of the module speak through
// numbers; every bit of a job and of its answer must come through.
#include "web/job_buffer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace tessaly {
namespace {

std::uint64_t Bits(double value) { return std::bit_cast<std::uint64_t>(value); }

TEST(JobBuffer, AJobComesThroughWhole) {
  EncodedJob job;
  job.job.generation = 123456789;
  job.job.step = true;
  job.count = 32767;
  job.time_step = -0.0;
  ObservationRequest request;
  request.steps = 1ull << 40;
  request.row = true;
  request.figures = false;
  for (int k = 0; k < 7; ++k) RecordWallMomentum(request.walls, 0.1 * k - 0.3);
  job.job.observe = request;
  std::vector<double> numbers(kJobNumbers);
  EncodeJob(job, numbers.data());
  const EncodedJob back = DecodeJob(numbers.data());
  EXPECT_EQ(back.job.generation, job.job.generation);
  EXPECT_TRUE(back.job.step);
  EXPECT_EQ(back.count, 32767);
  EXPECT_EQ(Bits(back.time_step), Bits(-0.0));
  ASSERT_TRUE(back.job.observe);
  EXPECT_EQ(back.job.observe->steps, request.steps);
  EXPECT_TRUE(back.job.observe->row);
  EXPECT_FALSE(back.job.observe->figures);
  EXPECT_EQ(back.job.observe->walls.count, 7);
  EXPECT_EQ(back.job.observe->walls.next, 7);
  EXPECT_EQ(back.job.observe->walls.momentum, request.walls.momentum);

  job.job.observe.reset();
  job.job.step = false;
  EncodeJob(job, numbers.data());
  EXPECT_FALSE(DecodeJob(numbers.data()).job.observe);
  EXPECT_FALSE(DecodeJob(numbers.data()).job.step);
}

TEST(JobBuffer, AnAnswerComesThroughToTheBit) {
  JobResult result;
  result.generation = 42;
  result.observe_ms = 3.25;
  ObservationAnswer answer;
  RecordWallMomentum(answer.walls, 1.0 / 3.0);
  answer.row = RecordedRow{};
  answer.row->step = 90;
  answer.row->time = 9.000000000000002;
  answer.row->values = {50.0, -std::numeric_limits<double>::denorm_min(), 1.25, 0.1};
  ObservedFigures f;
  f.steps = 91;
  f.time = 9.1;
  f.count = 40;
  f.potential_per_particle = -0.123456789012345;
  f.pair_distribution[99] = std::nextafter(1.0, 2.0);
  f.speed_density.assign(kSpeedBins, 0.5);
  f.speed_curve.assign(kSpeedCurvePoints + 1, 0.25);
  answer.figures = f;
  result.observation = answer;

  std::vector<double> numbers;
  EncodeResult(result, kJobDone, numbers);
  ASSERT_EQ(numbers.size(), kResultNumbers);  // the largest answer fills the page's buffer
  int outcome = 0;
  const JobResult back = DecodeResult(numbers.data(), numbers.size(), &outcome);
  EXPECT_EQ(outcome, kJobDone);
  EXPECT_EQ(back.generation, 42u);
  EXPECT_FALSE(back.error);
  ASSERT_TRUE(back.observation && back.observation->row && back.observation->figures);
  const ObservationAnswer& a = *back.observation;
  EXPECT_EQ(a.walls.momentum, answer.walls.momentum);
  EXPECT_EQ(a.row->step, 90u);
  EXPECT_EQ(Bits(a.row->time), Bits(answer.row->time));
  EXPECT_EQ(Bits(a.row->values.potential), Bits(answer.row->values.potential));
  EXPECT_EQ(a.figures->steps, 91u);
  EXPECT_EQ(Bits(a.figures->potential_per_particle), Bits(f.potential_per_particle));
  EXPECT_EQ(a.figures->pair_distribution, f.pair_distribution);
  EXPECT_EQ(a.figures->speed_density, f.speed_density);
  EXPECT_EQ(a.figures->speed_curve, f.speed_curve);
}

TEST(JobBuffer, TheOutcomeOfAJobThatEndedEarlyOrFailedIsKept) {
  const struct {
    int outcome;
    std::optional<ErrorKind> error;
  } cases[] = {{kJobStopped, std::nullopt}, {kJobDone, ErrorKind::kDivisionByZero}};
  for (const auto& c : cases) {
    JobResult result;
    result.generation = 7;
    result.error = c.error;
    std::vector<double> numbers;
    EncodeResult(result, c.outcome, numbers);
    int outcome = 0;
    const JobResult back = DecodeResult(numbers.data(), numbers.size(), &outcome);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(back.error, c.error);
    EXPECT_FALSE(back.observation);
  }
}

}  // namespace
}  // namespace tessaly
