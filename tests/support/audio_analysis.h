// Measures on 16-bit stereo PCM at 32000 Hz for the playback tests. Pure
// functions; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

inline constexpr double pcm_rate = 32000.0;

// (left + right) / 2 of interleaved stereo samples, one value per frame.
std::vector<double> mono(const std::vector<short>& stereo);
std::vector<double> mono(const short* stereo, std::size_t frames);

// Root mean square of x[first, first + count).
double rms(const std::vector<double>& x, std::size_t first, std::size_t count);

// Share (0 ... 1) of the energy of x[first, first + count) that lies in the
// sinusoid at `hz` (Goertzel); close to 0.81 for a square wave's
// fundamental, when `count` holds whole periods.
double energy_share_at(const std::vector<double>& x, std::size_t first, std::size_t count,
                       double hz);

// First and last index whose magnitude exceeds `threshold`, from `from` on.
struct sound_span {
  std::size_t first;
  std::size_t last;
};
std::optional<sound_span> find_sound(const std::vector<double>& x, double threshold,
                                     std::size_t from = 0);

// Length of the longest run of exact zeros in x[first, last). Inside a
// song's sound it marks where the sink ran dry and played silence.
std::size_t longest_zero_run(const std::vector<double>& x, std::size_t first, std::size_t last);

// Where `needle` best matches a stretch of `haystack` (normalised
// cross-correlation, computed with an FFT), and how well (-1 ... 1).
struct alignment {
  std::size_t offset;
  double correlation;
};
alignment best_alignment(const std::vector<double>& haystack, const std::vector<double>& needle);
