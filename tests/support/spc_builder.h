// Builds SPC images in memory for tests: a valid zeroed image, then setters
// for the fields a test cares about.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "spc.h"

class spc_builder {
 public:
  spc_builder();  // signature, 26/26, no tag, DIR page 0x02, empty directory

  spc_builder& tag_marker(u8 value);
  // Text-form tag: marker 26 and the given fields (lengths as ASCII text).
  spc_builder& text_tag(std::string_view song, std::string_view game,
                        std::string_view artist, std::string_view seconds,
                        std::string_view fade_msec = "");
  // Binary-form tag: marker 26, 24-bit seconds at 0xA9, 32-bit fade at 0xAC,
  // artist at 0xB0.
  spc_builder& binary_tag(std::string_view song, std::string_view game,
                          std::string_view artist, std::uint32_t seconds,
                          std::uint32_t fade_msec);
  spc_builder& dir_page(u8 page);
  // Directory entry `index` (0 ... 255) at DIR page * 256 + 4 * index.
  spc_builder& dir_entry(int index, u16 start, u16 loop);
  // `blocks` BRR blocks from `address`; the last one carries the end flag.
  spc_builder& brr_chain(u16 address, int blocks, u8 data = 0x00);
  spc_builder& aram(u16 address, std::initializer_list<u8> bytes);
  spc_builder& aram(u16 address, const std::vector<u8>& bytes);
  // Where the program starts, and its stack pointer.
  spc_builder& cpu(u16 pc, u8 sp = 0xEF);
  spc_builder& dsp(int reg, u8 value);

  // A 1000 Hz square wave on voice 0 from sample 0 (see tone_image below).
  spc_builder& square_wave_tone();
  // The same tone on voice 0 and, an octave down (500 Hz), on voice 1.
  spc_builder& two_tones();

  const spc_format& image() const { return image_; }
  std::vector<std::uint8_t> bytes() const;  // the 66048 bytes
  // Writes the image (plus `trailing` extra bytes) to a file in `dir`;
  // returns its path.
  std::string write_to(const std::string& dir, const std::string& name,
                       std::size_t trailing = 0) const;

 private:
  spc_format image_{};
};

// A temporary folder removed with its contents on destruction.
class temp_dir {
 public:
  temp_dir();
  // Inside `parent`, for a folder a file chooser picks: the chooser lists
  // the folder's parent, and /tmp, where every test makes and removes its
  // folders, changes under it while it does.
  explicit temp_dir(const std::string& parent);
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The bytes of the file at `path` ("" when it cannot be read).
std::string file_text(const std::string& path);

// Path of a file of the shared corpus of real SPC files, or "" when the
// corpus is absent (tests skip then).
std::string corpus_file(const std::string& name);
