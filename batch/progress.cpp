#include "batch/progress.h"

#include <chrono>
#include <cmath>

namespace tessaly {
namespace {

constexpr double kQuietSeconds = 1.0;     // runs shorter than this show nothing
constexpr double kRedrawSeconds = 0.2;    // the line changes at most this often

std::string Format(const char* format, double a, double b = 0.0) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b);
  return buffer;
}

}  // namespace

std::string DurationText(double seconds) {
  if (seconds < 10.0) return Format("%.1f s", seconds);
  const double whole = std::round(seconds);
  if (whole < 60.0) return Format("%.0f s", whole);
  if (whole < 3600.0) {
    return Format("%.0f min %02.0f s", std::floor(whole / 60.0), std::fmod(whole, 60.0));
  }
  const double minutes = std::round(seconds / 60.0);
  return Format("%.0f h %02.0f min", std::floor(minutes / 60.0), std::fmod(minutes, 60.0));
}

std::string ProgressText(std::uint64_t done, std::uint64_t total, double seconds) {
  std::string text = "step " + std::to_string(done) + " of " + std::to_string(total);
  if (done == 0 || seconds <= 0.0) return text;
  const double rate = static_cast<double>(done) / seconds;
  text += rate >= 100.0 ? Format(", %.0f steps/s", rate) : Format(", %.3g steps/s", rate);
  text += ", " + DurationText(static_cast<double>(total - done) / rate) + " left";
  return text;
}

double ProgressLine::SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

ProgressLine::ProgressLine(std::uint64_t total, std::FILE* out, Clock clock)
    : total_(total), out_(out), clock_(std::move(clock)), start_(clock_()) {}

void ProgressLine::Update(std::uint64_t done) {
  const double now = clock_();
  const double elapsed = now - start_;
  if (elapsed < kQuietSeconds) return;
  if (shown_ && now - last_drawn_ < kRedrawSeconds) return;
  // "\x1b[K" clears what a longer earlier line left to the right.
  std::fprintf(out_, "\rtessaly: %s\x1b[K", ProgressText(done, total_, elapsed).c_str());
  std::fflush(out_);
  shown_ = true;
  last_drawn_ = now;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fputs("\r\x1b[K", out_);
  std::fflush(out_);
  shown_ = false;
}

}  // namespace tessaly
