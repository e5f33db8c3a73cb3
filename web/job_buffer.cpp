#include "web/job_buffer.h"

#include <algorithm>

namespace tessaly {
namespace {

// Reads numbers in the order they were written.
class Reader {
 public:
  Reader(const double* in, std::size_t size) : in_(in), size_(size) {}
  double Next() { return at_ < size_ ? in_[at_++] : 0.0; }
  bool Flag() { return Next() != 0.0; }
  std::uint64_t Whole() { return static_cast<std::uint64_t>(Next()); }
  template <typename Array>
  void Fill(Array& values) {
    for (double& value : values) value = Next();
  }

 private:
  const double* in_;
  std::size_t size_;
  std::size_t at_ = 0;
};

void PutWalls(const WallMomentumHistory& walls, std::vector<double>& out) {
  out.push_back(walls.count);
  out.push_back(walls.next);
  out.insert(out.end(), walls.momentum.begin(), walls.momentum.end());
}

WallMomentumHistory TakeWalls(Reader& in) {
  WallMomentumHistory walls;
  walls.count = static_cast<int>(in.Next());
  walls.next = static_cast<int>(in.Next());
  in.Fill(walls.momentum);
  return walls;
}

}  // namespace

void EncodeJob(const EncodedJob& encoded, double* out) {
  std::vector<double> numbers;
  const StepJob& job = encoded.job;
  numbers.push_back(static_cast<double>(job.generation));
  numbers.push_back(job.step ? 1 : 0);
  numbers.push_back(encoded.count);
  numbers.push_back(encoded.time_step);
  numbers.push_back(job.observe ? 1 : 0);
  const ObservationRequest request = job.observe.value_or(ObservationRequest{});
  numbers.push_back(static_cast<double>(request.steps));
  numbers.push_back(request.row ? 1 : 0);
  numbers.push_back(request.figures ? 1 : 0);
  PutWalls(request.walls, numbers);
  std::copy(numbers.begin(), numbers.end(), out);
}

EncodedJob DecodeJob(const double* numbers) {
  Reader in(numbers, kJobNumbers);
  EncodedJob encoded;
  encoded.job.generation = in.Whole();
  encoded.job.step = in.Flag();
  encoded.count = static_cast<std::int32_t>(in.Next());
  encoded.time_step = in.Next();
  const bool observe = in.Flag();
  ObservationRequest request;
  request.steps = in.Whole();
  request.row = in.Flag();
  request.figures = in.Flag();
  request.walls = TakeWalls(in);
  if (observe) encoded.job.observe = request;
  return encoded;
}

void EncodeResult(const JobResult& result, int outcome, std::vector<double>& out) {
  out.push_back(static_cast<double>(result.generation));
  out.push_back(result.error ? static_cast<int>(*result.error) : outcome);
  out.push_back(result.observe_ms);
  out.push_back(result.observation ? 1 : 0);
  if (!result.observation) return;
  const ObservationAnswer& answer = *result.observation;
  PutWalls(answer.walls, out);
  out.push_back(answer.row ? 1 : 0);
  if (answer.row) {
    const RecordedRow& row = *answer.row;
    out.insert(out.end(), {static_cast<double>(row.step), row.time, row.values.kinetic,
                           row.values.potential, row.values.temperature, row.values.wall_pressure});
  }
  out.push_back(answer.figures ? 1 : 0);
  if (answer.figures) {
    const ObservedFigures& f = *answer.figures;
    out.insert(out.end(), {static_cast<double>(f.steps), f.time, static_cast<double>(f.count),
                           f.kinetic, f.potential, f.temperature, f.kinetic_per_particle,
                           f.potential_per_particle, f.wall_pressure, f.pair_top,
                           f.pair_near_peak, f.speed_range, f.density_top,
                           static_cast<double>(f.speed_density.size()),
                           static_cast<double>(f.speed_curve.size())});
    out.insert(out.end(), f.pair_distribution.begin(), f.pair_distribution.end());
    out.insert(out.end(), f.speed_density.begin(), f.speed_density.end());
    out.insert(out.end(), f.speed_curve.begin(), f.speed_curve.end());
  }
}

JobResult DecodeResult(const double* numbers, std::size_t size, int* outcome) {
  Reader in(numbers, size);
  JobResult result;
  result.generation = in.Whole();
  const int ended = static_cast<int>(in.Next());
  *outcome = ended < 0 ? ended : kJobDone;
  if (ended >= 0) result.error = static_cast<ErrorKind>(ended);
  result.observe_ms = in.Next();
  if (!in.Flag()) return result;
  ObservationAnswer answer;
  answer.walls = TakeWalls(in);
  if (in.Flag()) {
    RecordedRow row;
    row.step = in.Whole();
    row.time = in.Next();
    row.values.kinetic = in.Next();
    row.values.potential = in.Next();
    row.values.temperature = in.Next();
    row.values.wall_pressure = in.Next();
    answer.row = row;
  }
  if (in.Flag()) {
    ObservedFigures f;
    f.steps = in.Whole();
    f.time = in.Next();
    f.count = static_cast<std::int32_t>(in.Next());
    f.kinetic = in.Next();
    f.potential = in.Next();
    f.temperature = in.Next();
    f.kinetic_per_particle = in.Next();
    f.potential_per_particle = in.Next();
    f.wall_pressure = in.Next();
    f.pair_top = in.Next();
    f.pair_near_peak = in.Next();
    f.speed_range = in.Next();
    f.density_top = in.Next();
    f.speed_density.resize(std::min<std::size_t>(in.Whole(), kSpeedBins));
    f.speed_curve.resize(std::min<std::size_t>(in.Whole(), kSpeedCurvePoints + 1));
    in.Fill(f.pair_distribution);
    in.Fill(f.speed_density);
    in.Fill(f.speed_curve);
    answer.figures = f;
  }
  result.observation = answer;
  return result;
}

}  // namespace tessaly
