#include "tuning.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

namespace {

constexpr double a4_hz = 440.0;
constexpr int a4_note = 69;
constexpr int c4_note = 60;

// Weighted circular mean of the notes' fractional parts (-0.5 ... 0.5) and
// their spread about it, in semitones.
struct fraction_stats {
  double mean = 0;
  double spread = 0;
};

fraction_stats note_fractions(double root, const std::vector<sample_play::pitch_count>& pitches) {
  double sx = 0, sy = 0, weight = 0;
  for (const auto& p : pitches) {
    const double angle = 2 * std::numbers::pi * played_note(root, p.pitch);
    sx += p.count * std::cos(angle);
    sy += p.count * std::sin(angle);
    weight += p.count;
  }
  fraction_stats out;
  if (weight <= 0) return out;
  out.mean = std::atan2(sy, sx) / (2 * std::numbers::pi);
  double square = 0;
  for (const auto& p : pitches) {
    double off = played_note(root, p.pitch) - out.mean;
    off -= std::round(off);
    square += p.count * off * off;
  }
  out.spread = std::sqrt(square / weight);
  return out;
}

void set_played_range(sample_tuning& tuning,
                      const std::vector<sample_play::pitch_count>& pitches) {
  for (const auto& p : pitches) {
    if (p.count <= 0 || p.pitch == 0) continue;
    const int note = static_cast<int>(std::lround(played_note(tuning.root, p.pitch)));
    tuning.played_low = std::min(tuning.played_low.value_or(note), note);
    tuning.played_high = std::max(tuning.played_high.value_or(note), note);
    tuning.key_ons += p.count;
  }
}

}  // namespace

double played_note(double root, u16 pitch) {
  return root + 12.0 * std::log2(std::max<double>(pitch, 1) / 4096.0);
}

void pool_pitches(std::vector<sample_play::pitch_count>& pool,
                  const std::vector<sample_play::pitch_count>& more) {
  std::map<u16, int> counts;
  for (const auto& p : pool) counts[p.pitch] += p.count;
  for (const auto& p : more) counts[p.pitch] += p.count;
  pool.clear();
  for (const auto& [pitch, count] : counts) pool.push_back({pitch, count});
}

sample_tuning tune_sample(const own_pitch& own,
                          const std::vector<sample_play::pitch_count>& pitches) {
  std::vector<sample_play::pitch_count> played;
  for (const auto& p : pitches)
    if (p.count > 0 && p.pitch > 0) played.push_back(p);

  sample_tuning tuning;
  const bool clear = own.hz && own.confidence >= own_pitch_min_confidence;
  if (clear || (own.hz && played.empty())) {
    tuning.root = a4_note + 12.0 * std::log2(*own.hz / a4_hz);
    tuning.method = own.from_loop ? tuning_method::loop_period : tuning_method::autocorrelation;
    tuning.confidence = own.confidence;
    if (!played.empty()) {
      const fraction_stats song = note_fractions(tuning.root, played);
      tuning.spread_cents = song.spread * 100;
      if (tuning.spread_cents <= song_fine_tune_max_spread) tuning.root -= song.mean;
    }
  } else if (!played.empty()) {
    // Count key-ons per note, pitch 0x1000 being C4, and take the busiest.
    std::map<int, int> per_note;
    int total = 0;
    for (const auto& p : played) {
      per_note[static_cast<int>(std::lround(played_note(c4_note, p.pitch)))] += p.count;
      total += p.count;
    }
    const auto busiest = std::max_element(per_note.begin(), per_note.end(),
                                          [](const auto& a, const auto& b) {
                                            return a.second < b.second;
                                          });
    u16 busiest_pitch = played.front().pitch;
    int busiest_count = -1;
    for (const auto& p : played) {
      if (std::lround(played_note(c4_note, p.pitch)) == busiest->first && p.count > busiest_count) {
        busiest_pitch = p.pitch;
        busiest_count = p.count;
      }
    }
    // The key `busiest->first` must sound the sample at `busiest_pitch`.
    tuning.root = busiest->first - 12.0 * std::log2(busiest_pitch / 4096.0);
    tuning.method = tuning_method::most_played_note;
    tuning.confidence = double(busiest->second) / total;
    tuning.spread_cents = note_fractions(tuning.root, played).spread * 100;
  }
  set_played_range(tuning, played);
  return tuning;
}
