#include "key_on_grid.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <numbers>

namespace {

constexpr double chord_samples = 64;         // 2 ms: key-ons this close are one onset
constexpr double longest_interval = 128000;  // 4 s: longer gaps are rests, not the grid
constexpr double shortest_step = 1024;       // 32 ms
constexpr double needed_coherence = 0.5;

// How well the onsets share one phase of `step`: the length (0 ... 1) of
// the mean of their phases as unit vectors. Random onsets give about
// 1 / sqrt(count); onsets on the grid, however far apart, near 1.
double coherence(const std::vector<double>& onsets, double step) {
  std::complex<double> sum;
  for (double at : onsets) sum += std::polar(1.0, 2 * std::numbers::pi * std::fmod(at, step) / step);
  return std::abs(sum) / double(onsets.size());
}

// The step near `step` (within ±2 %) whose grid the onsets fit best. Over
// a song spanning `span` samples, coherence peaks within about step² / span
// of the true step: the search walks in quarters of that, then in
// fiftieths of a quarter around the best.
double refined_step(const std::vector<double>& onsets, double step, double span) {
  const double coarse = std::max(0.01, step * step / span / 4);
  double best = step, best_coherence = -1;
  const auto search = [&](double from, double to, double by) {
    for (double s = from; s <= to; s += by) {
      const double c = coherence(onsets, s);
      if (c > best_coherence) best_coherence = c, best = s;
    }
  };
  search(step * 0.98, step * 1.02, coarse);
  search(best - coarse, best + coarse, coarse / 50);
  return best;
}

}  // namespace

key_on_grid find_key_on_grid(std::vector<std::int64_t> key_on_samples) {
  key_on_grid grid;
  std::sort(key_on_samples.begin(), key_on_samples.end());
  std::vector<double> onsets;
  for (std::int64_t at : key_on_samples)
    if (onsets.empty() || double(at) - onsets.back() > chord_samples) onsets.push_back(double(at));
  grid.onsets = int(onsets.size());
  std::map<long, int> intervals;  // rounded to 16 samples: how often
  for (std::size_t i = 1; i < onsets.size(); ++i) {
    const double interval = onsets[i] - onsets[i - 1];
    if (interval >= shortest_step && interval <= longest_interval)
      ++intervals[std::lround(interval / 16) * 16];
  }
  if (onsets.size() < 8 || intervals.empty()) return grid;
  std::vector<std::pair<int, long>> common;
  for (const auto& [interval, count] : intervals) common.push_back({count, interval});
  std::sort(common.rbegin(), common.rend());
  if (common.size() > 6) common.resize(6);

  const double span = onsets.back() - onsets.front();
  std::vector<double> tried;
  for (const auto& [count, interval] : common)
    for (int part = 1; part <= 4; ++part) {
      const double start = double(interval) / part;
      const auto near = [start](double t) { return std::abs(t - start) < start * 0.01; };
      if (start < shortest_step || std::any_of(tried.begin(), tried.end(), near)) continue;
      tried.push_back(start);
      const double step = refined_step(onsets, start, span);
      const double fit = coherence(onsets, step);
      if (fit >= needed_coherence && fit > grid.fit) {
        grid.found = true;
        grid.step_samples = step;
        grid.fit = fit;
      }
    }
  if (!grid.found) return grid;
  double quarter = 0;
  for (int multiple : {1, 2, 4, 8, 16}) {
    const double candidate = grid.step_samples * multiple;
    const double bpm = 60.0 * 32000.0 / candidate;
    if (bpm < 40 || bpm > 240) continue;
    if (quarter == 0 || std::abs(std::log2(candidate / 16000)) < std::abs(std::log2(quarter / 16000)))
      quarter = candidate;
  }
  if (quarter > 0) grid.quarter_samples = quarter;
  return grid;
}
