#include "audio_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace {

using spectrum = std::vector<std::complex<double>>;

// In-place radix-2 FFT; `inverse` gives the unscaled inverse transform.
void fft(spectrum& a, bool inverse) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const double angle = 2 * std::numbers::pi / static_cast<double>(length) * (inverse ? 1 : -1);
    const std::complex<double> step(std::cos(angle), std::sin(angle));
    for (std::size_t start = 0; start < n; start += length) {
      std::complex<double> w(1);
      for (std::size_t k = 0; k < length / 2; ++k) {
        const auto even = a[start + k];
        const auto odd = a[start + k + length / 2] * w;
        a[start + k] = even + odd;
        a[start + k + length / 2] = even - odd;
        w *= step;
      }
    }
  }
}

}  // namespace

std::vector<double> mono(const short* stereo, std::size_t frames) {
  std::vector<double> out(frames);
  for (std::size_t i = 0; i < frames; ++i) out[i] = (stereo[2 * i] + stereo[2 * i + 1]) / 2.0;
  return out;
}

std::vector<double> mono(const std::vector<short>& stereo) {
  return mono(stereo.data(), stereo.size() / 2);
}

double rms(const std::vector<double>& x, std::size_t first, std::size_t count) {
  double sum = 0;
  for (std::size_t i = first; i < first + count && i < x.size(); ++i) sum += x[i] * x[i];
  return count > 0 ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

double energy_share_at(const std::vector<double>& x, std::size_t first, std::size_t count,
                       double hz) {
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * hz / pcm_rate);
  double previous = 0;
  double before_previous = 0;
  double energy = 0;
  for (std::size_t i = first; i < first + count && i < x.size(); ++i) {
    const double current = x[i] + coefficient * previous - before_previous;
    before_previous = previous;
    previous = current;
    energy += x[i] * x[i];
  }
  const double power = previous * previous + before_previous * before_previous -
                       coefficient * previous * before_previous;  // |X(hz)|^2
  return energy > 0 ? 2 * power / (static_cast<double>(count) * energy) : 0.0;
}

std::optional<sound_span> find_sound(const std::vector<double>& x, double threshold,
                                     std::size_t from) {
  std::optional<sound_span> span;
  for (std::size_t i = from; i < x.size(); ++i) {
    if (std::fabs(x[i]) <= threshold) continue;
    if (!span) span = sound_span{i, i};
    span->last = i;
  }
  return span;
}

std::size_t longest_zero_run(const std::vector<double>& x, std::size_t first, std::size_t last) {
  std::size_t longest = 0;
  std::size_t run = 0;
  for (std::size_t i = first; i < last && i < x.size(); ++i) {
    run = x[i] == 0.0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

alignment best_alignment(const std::vector<double>& haystack, const std::vector<double>& needle) {
  if (needle.empty() || haystack.size() < needle.size()) return {0, 0.0};
  std::size_t size = 1;
  while (size < haystack.size() + needle.size()) size <<= 1;
  spectrum h(size);
  spectrum n(size);
  for (std::size_t i = 0; i < haystack.size(); ++i) h[i] = haystack[i];
  for (std::size_t i = 0; i < needle.size(); ++i) n[i] = needle[i];
  fft(h, false);
  fft(n, false);
  for (std::size_t i = 0; i < size; ++i) h[i] *= std::conj(n[i]);
  fft(h, true);  // h[offset] * size = sum of haystack[offset + i] * needle[i]

  double needle_energy = 0;
  for (double v : needle) needle_energy += v * v;
  std::vector<double> prefix(haystack.size() + 1, 0.0);  // running energy of haystack
  for (std::size_t i = 0; i < haystack.size(); ++i) prefix[i + 1] = prefix[i] + haystack[i] * haystack[i];

  alignment best{0, -2.0};
  for (std::size_t offset = 0; offset + needle.size() <= haystack.size(); ++offset) {
    const double window = prefix[offset + needle.size()] - prefix[offset];
    if (window <= 0 || needle_energy <= 0) continue;
    const double c = h[offset].real() / static_cast<double>(size) / std::sqrt(window * needle_energy);
    if (c > best.correlation) best = {offset, c};
  }
  if (best.correlation < -1.5) best.correlation = 0.0;
  return best;
}
