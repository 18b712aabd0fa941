#include "pitch_detect.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double dsp_rate_hz = 32000.0;
// Longest period looked for: 2048 samples is 15.6 Hz at 32 kHz.
constexpr std::size_t longest_period = 2048;
// At most this many samples are compared per lag: enough for a clear
// answer, and it bounds the work on long samples.
constexpr std::size_t longest_window = 8192;
// The normalised difference a period must fall below (YIN's threshold).
constexpr double period_threshold = 0.15;
// Loops quieter than this (RMS of 16-bit samples) carry no pitch.
constexpr double silence_rms = 16.0;
// A loop that is its own period: the highest harmonic (relative to its
// fundamental) the energy may sit at before it sounds like noise.
constexpr double tonal_harmonic_limit = 16.0;

double rms_of(const std::int16_t* x, std::size_t n) {
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += double(x[i]) * x[i];
  return n ? std::sqrt(sum / double(n)) : 0.0;
}

struct period_found {
  double lag = 0;       // in samples, fractional
  double clarity = 0;   // 1 - normalised difference at the lag
};

// YIN's cumulative mean normalised difference over x[0, n): the first lag
// (up to max_lag) whose difference dips below the threshold, refined by a
// parabola through its neighbours. Differences are means per compared pair,
// so lags with fewer pairs weigh the same.
std::optional<period_found> first_period(const std::int16_t* x, std::size_t n,
                                         std::size_t max_lag) {
  if (max_lag < 4) return std::nullopt;
  // Computed a lag at a time, and no further than the dip needs: a tone's
  // period is found long before the longest lag.
  std::vector<double> d(max_lag + 2, 0.0), normalised(max_lag + 2, 1.0);
  double running = 0;
  std::size_t computed = 0;
  const auto compute = [&](std::size_t lag) {
    const std::size_t pairs = std::min(n - lag, longest_window);
    double sum = 0;
    for (std::size_t j = 0; j < pairs; ++j) {
      const double diff = double(x[j]) - double(x[j + lag]);
      sum += diff * diff;
    }
    d[lag] = sum / double(pairs);
    running += d[lag];
    normalised[lag] = running > 0 ? d[lag] * double(lag) / running : 1.0;
    computed = lag;
  };
  const std::size_t last = std::min(max_lag + 1, n - 1);
  compute(1);
  for (std::size_t lag = 2; lag <= max_lag && lag <= last; ++lag) {
    if (computed < lag + 1 && lag + 1 <= last) compute(lag + 1);
    if (computed < lag) compute(lag);
    if (normalised[lag] >= period_threshold) continue;
    while (lag + 1 <= max_lag && lag + 2 <= last) {
      if (computed < lag + 2) compute(lag + 2);
      if (normalised[lag + 1] >= normalised[lag]) break;
      ++lag;
    }
    // Refined on the plain difference, which the normalisation would tilt.
    double refined = double(lag);
    const double a = d[lag - 1], b = d[lag], c = d[lag + 1];
    const double bend = a - 2 * b + c;
    if (bend > 0) refined += std::clamp(0.5 * (a - c) / bend, -0.5, 0.5);
    return period_found{refined, std::clamp(1.0 - normalised[lag], 0.0, 1.0)};
  }
  return std::nullopt;
}

// For a loop of n samples that is itself one period: how tonal it is. The
// first differences' energy against the signal's gives the RMS frequency;
// as a multiple of the loop's own frequency it stays small for a tone's
// harmonics and grows with the loop's length for noise.
double single_period_confidence(const std::int16_t* x, std::size_t n) {
  double signal = 0, wiggle = 0;
  for (std::size_t i = 0; i < n; ++i) {
    signal += double(x[i]) * x[i];
    const double diff = double(x[(i + 1) % n]) - double(x[i]);
    wiggle += diff * diff;
  }
  if (signal <= 0) return 0.0;
  const double harmonic = std::sqrt(wiggle / signal) * double(n) / (2 * std::numbers::pi);
  return harmonic <= tonal_harmonic_limit ? 1.0 : tonal_harmonic_limit / harmonic;
}

own_pitch loop_pitch(const looped_pcm& sample) {
  own_pitch out;
  out.from_loop = true;
  const std::size_t start = *sample.loop_start;
  const std::int16_t* loop = sample.pcm.data() + start;
  const std::size_t n = sample.pcm.size() - start;
  if (n < 2 || rms_of(loop, n) < silence_rms) return out;
  // A period inside the loop needs two of it to compare.
  if (auto found = first_period(loop, n, std::min(n / 2, longest_period))) {
    double period = found->lag;
    // The DSP replays the loop whole: when it holds a whole number of the
    // periods found, the loop's length divided by that number is the exact
    // period heard.
    const double periods = double(n) / period;
    const double whole = std::round(periods);
    if (whole >= 1 && std::abs(periods - whole) <= 0.15 &&
        std::abs(double(n) / whole - period) <= 0.015 * period)
      period = double(n) / whole;
    out.hz = dsp_rate_hz / period;
    out.confidence = found->clarity;
    return out;
  }
  if (n <= longest_period) {
    out.hz = dsp_rate_hz / double(n);
    out.confidence = single_period_confidence(loop, n);
  }
  return out;
}

own_pitch steady_pitch(const looped_pcm& sample) {
  own_pitch out;
  const std::size_t total = sample.pcm.size();
  // Past the attack: the steady part starts a tenth of the way in.
  const std::size_t first = total / 10;
  const std::size_t n = std::min(total - first, longest_window + longest_period);
  const std::int16_t* x = sample.pcm.data() + first;
  if (n < 64 || rms_of(x, n) < silence_rms) return out;
  if (auto found = first_period(x, n, std::min(n / 2, longest_period))) {
    out.hz = dsp_rate_hz / found->lag;
    out.confidence = found->clarity;
  }
  return out;
}

}  // namespace

own_pitch detect_own_pitch(const looped_pcm& sample) {
  if (sample.loop_start && *sample.loop_start < sample.pcm.size()) return loop_pitch(sample);
  return steady_pitch(sample);
}
