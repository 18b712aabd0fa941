#include "stress_inputs.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "spc_builder.h"

namespace {

constexpr const char* corpus_names[] = {
    "sato_forest_01.spc", "osoumen_gtme.spc", "osoumen_sound_of_mnemon.spc",
    "boldowa_org_drv_misplaced_xid6.spc", "boldowa_minimal_empty_xid6.spc"};

// Where a changed byte makes the most difference: the header and tag, the
// DSP registers (DIR picks the directory page), the directory pages that
// real files use most, then anywhere.
std::size_t mutation_offset(std::mt19937& random, int which, std::size_t size) {
  switch (which % 4) {
    case 0: return random() % 0x100;
    case 1: return offsetof(spc_format, dsp_registers) + random() % 0x80;
    case 2: return offsetof(spc_format, aram) + random() % 0x1000;
    default: return random() % size;
  }
}

std::vector<std::uint8_t> random_bytes(std::mt19937& random, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

}  // namespace

stress_inputs::stress_inputs(unsigned seed) : random_(seed) {
  for (const char* name : corpus_names) {
    const std::string path = corpus_file(name);
    if (path.empty()) continue;
    std::ifstream in(path, std::ios::binary);
    seeds_.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  corpus_count_ = seeds_.size();
  if (corpus_count_ > 0) return;
  // No corpus: tagged images whose directories point anywhere.
  for (int s = 0; s < 4; ++s) {
    spc_builder builder;
    builder.text_tag("Song", "Game", "Artist", "100").dir_page(static_cast<u8>(2 + s));
    for (int k = 0; k < 256; k += 1 + s) {
      builder.dir_entry(k, static_cast<u16>(random_()), static_cast<u16>(random_()));
    }
    seeds_.push_back(builder.bytes());
  }
}

std::vector<std::uint8_t> stress_inputs::pick_seed() { return seeds_[random_() % seeds_.size()]; }

void stress_inputs::mutate(std::vector<std::uint8_t>& bytes) {
  const int changes = 1 + static_cast<int>(random_() % 64);
  for (int c = 0; c < changes; ++c) {
    const std::size_t at = mutation_offset(random_, c, bytes.size());
    if (at < bytes.size()) bytes[at] = static_cast<std::uint8_t>(random_());
  }
}

const char* stress_inputs::write(int index, const std::string& path) {
  std::vector<std::uint8_t> bytes;
  const char* kind = nullptr;
  switch (index % 16) {
    case 15:
      std::remove(path.c_str());
      return "missing file";
    case 3:
    case 11:
      bytes = pick_seed();
      bytes.resize(random_() % bytes.size());
      kind = "cut short";
      break;
    case 7:
      bytes = random_bytes(random_, random_() % 70000);
      kind = "random bytes";
      break;
    case 13:
      // Passes the signature check, so garbage reaches the chart and tag.
      bytes = random_bytes(random_, sizeof(spc_format) + random_() % 512);
      std::memcpy(bytes.data(), spc_signature, spc_signature_size);
      kind = "random image";
      break;
    default:
      bytes = pick_seed();
      mutate(bytes);
      kind = "mutated file";
      break;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return kind;
}
