// Files for the window to load over and over: real SPC files with bytes
// changed at random, the same cut short, random bytes with and without the
// signature, and now and then a name with no file behind it.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

class stress_inputs {
 public:
  // Starts from the corpus files present, else from images built in code; same seed, same inputs.
  explicit stress_inputs(unsigned seed);

  // Writes input `index` to `path` (removes it for a missing file); returns its kind, for reports.
  const char* write(int index, const std::string& path);

  // How many real files the inputs start from (0: images built in code).
  std::size_t corpus_count() const { return corpus_count_; }

 private:
  std::vector<std::uint8_t> pick_seed();
  void mutate(std::vector<std::uint8_t>& bytes);

  std::mt19937 random_;
  std::vector<std::vector<std::uint8_t>> seeds_;
  std::size_t corpus_count_ = 0;
};
