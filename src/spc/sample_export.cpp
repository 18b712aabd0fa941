#include "sample_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "hex_text.h"
#include "sample_checks.h"
#include "voices.h"

namespace {

constexpr int max_loop_passes = 16;  // the first pass included
constexpr std::uint32_t dsp_rate_hz = 32000;
constexpr std::uint32_t dsp_sample_period_ns = 31250;
constexpr std::uint32_t midi_middle_c = 60;

void put_u16(std::vector<u8>& out, std::uint32_t value) {
  out.push_back(static_cast<u8>(value));
  out.push_back(static_cast<u8>(value >> 8));
}

void put_u32(std::vector<u8>& out, std::uint32_t value) {
  put_u16(out, value & 0xFFFF);
  put_u16(out, value >> 16);
}

void put_tag(std::vector<u8>& out, const char (&tag)[5]) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<u8>(tag[i]));
}

std::string join(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text.empty() ? "-" : text;
}

// Uppercase hexadecimal, at least two digits: sample 256 is "100", not "00".
std::string two_digit_hex(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
  return text;
}

// Bytes from the chain's start to its loop block; the chain's size when it
// has no loop. Saturates at 0xFFFF for the loop header of a chain that long.
std::size_t loop_offset_bytes(const brr_sample& sample) {
  return sample.loop_sample ? sample.loop_block() * brr_block_bytes
                            : sample.blocks.size() * brr_block_bytes;
}

std::string system_error_text(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

// Writes `bytes` to a temporary name beside `path`, then gives it its name:
// a rename (replacing) with `replace`, else a link, which fails rather than
// replace a file that appeared meanwhile. No half-written file remains.
bool write_whole_file(const std::string& path, const std::vector<u8>& bytes, bool replace,
                      std::string& failure) {
  const std::filesystem::path target(path);
  const std::string prefix =
      (target.parent_path() / ("." + target.filename().string() + ".part")).string();
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temp = prefix + std::to_string(getpid()) + "-" + std::to_string(attempt);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    failure = system_error_text("Unable to write", path, errno);
    return false;
  }
  std::size_t done = 0;
  int error = 0;
  while (done < bytes.size() && error == 0) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EINTR) error = errno;
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0) {
    if (replace ? rename(temp.c_str(), path.c_str()) != 0 : link(temp.c_str(), path.c_str()) != 0)
      error = errno;
  }
  if (error != 0 || !replace) unlink(temp.c_str());
  if (error == EEXIST) failure = path + " already exists: nothing more was written";
  else if (error != 0) failure = system_error_text("Unable to write", path, error);
  return error == 0;
}

}  // namespace

looped_pcm playable_pcm(const spc_format& spc, const brr_sample& sample) {
  looped_pcm out{sample.pcm, std::nullopt};
  if (!sample.loop_sample) return out;
  std::size_t loop_start = *sample.loop_sample;
  std::vector<std::int16_t> previous(sample.pcm.begin() + static_cast<std::ptrdiff_t>(loop_start),
                                     sample.pcm.end());
  brr_history history = sample.history_at_end;
  for (int pass = 2; pass <= max_loop_passes; ++pass) {
    std::vector<std::int16_t> next = brr_decode_loop_pass(spc, sample, history);
    // Equal passes leave equal history: every later pass repeats this one.
    if (next == previous) break;
    loop_start = out.pcm.size();
    out.pcm.insert(out.pcm.end(), next.begin(), next.end());
    previous = std::move(next);
  }
  out.loop_start = loop_start;
  return out;
}

std::vector<u8> wav_file_bytes(const looped_pcm& sample) {
  const std::uint32_t data_bytes = static_cast<std::uint32_t>(sample.pcm.size() * 2);
  const std::uint32_t smpl_bytes = sample.loop_start ? 36 + 24 : 0;
  std::vector<u8> out;
  out.reserve(44 + data_bytes + (smpl_bytes ? 8 + smpl_bytes : 0));
  put_tag(out, "RIFF");
  put_u32(out, 4 + (8 + 16) + (8 + data_bytes) + (smpl_bytes ? 8 + smpl_bytes : 0));
  put_tag(out, "WAVE");
  put_tag(out, "fmt ");
  put_u32(out, 16);
  put_u16(out, 1);                // PCM
  put_u16(out, 1);                // mono
  put_u32(out, dsp_rate_hz);
  put_u32(out, dsp_rate_hz * 2);  // bytes per second
  put_u16(out, 2);                // bytes per frame
  put_u16(out, 16);               // bits per sample
  put_tag(out, "data");
  put_u32(out, data_bytes);
  for (std::int16_t s : sample.pcm) put_u16(out, static_cast<std::uint16_t>(s));
  if (sample.loop_start) {
    put_tag(out, "smpl");
    put_u32(out, smpl_bytes);
    put_u32(out, 0);                     // manufacturer
    put_u32(out, 0);                     // product
    put_u32(out, dsp_sample_period_ns);
    put_u32(out, midi_middle_c);         // unity note
    put_u32(out, 0);                     // pitch fraction
    put_u32(out, 0);                     // SMPTE format
    put_u32(out, 0);                     // SMPTE offset
    put_u32(out, 1);                     // loops
    put_u32(out, 0);                     // sampler data
    put_u32(out, 0);                     // cue point id
    put_u32(out, 0);                     // forward
    put_u32(out, static_cast<std::uint32_t>(*sample.loop_start));
    // The last sample played, not one past it: samplers drop a loop that
    // ends beyond the data.
    put_u32(out, static_cast<std::uint32_t>(sample.pcm.size() - 1));
    put_u32(out, 0);                     // fraction
    put_u32(out, 0);                     // play count: forever
  }
  return out;
}

std::vector<u8> brr_file_bytes(const spc_format& spc, const brr_sample& sample, bool loop_header) {
  std::vector<u8> out;
  if (loop_header) put_u16(out, std::min<std::size_t>(loop_offset_bytes(sample), 0xFFFF));
  const std::vector<u8> chain = brr_chain_bytes(spc, sample);
  out.insert(out.end(), chain.begin(), chain.end());
  return out;
}

std::string export_result::written_text() const {
  return std::to_string(samples_written) +
         (samples_written == 1 ? " sample written to " : " samples written to ") + folder;
}

std::string export_result::summary() const {
  if (!ok) return failure;
  std::string text = written_text();
  if (not_ended > 0)
    text += "; " + std::to_string(not_ended) + " without an end flag left out";
  return text;
}

void sample_export::add_image(const spc_format& spc, const std::string& spc_path,
                              const std::vector<int>& sample_numbers) {
  if (manifest_.empty())
    manifest_ = "file\tsample #\tsrcn\tstart\tloop\tblocks\tloop sample\tvoices\twarnings\twritten\n";
  const std::string stem = std::filesystem::path(spc_path).stem().string();
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(spc, count, chart);
  for (std::int32_t i = 0; chart && i < count; ++i) {
    const sample_chart& row = chart[i];
    if (!sample_numbers.empty() &&
        std::find(sample_numbers.begin(), sample_numbers.end(), row.sample_number) ==
            sample_numbers.end())
      continue;
    const brr_sample sample = brr_decode_entry(spc, row);
    const int srcn = row.sample_number - 1;
    std::string written = "-";
    if (!sample.ends) {
      ++not_ended_;
    } else {
      ++samples_;
      std::vector<u8> brr = brr_file_bytes(spc, sample, options_.loop_header);
      const std::string name = stem + "-" + two_digit_hex(row.sample_number);
      written = name + ".wav " + name + ".brr";
      auto key = std::make_pair(brr_chain_bytes(spc, sample), loop_offset_bytes(sample));
      const auto known = options_.unique ? written_by_content_.find(key) : written_by_content_.end();
      if (known != written_by_content_.end()) {
        written = known->second;
      } else {
        files_.push_back({name + ".wav", wav_file_bytes(playable_pcm(spc, sample))});
        files_.push_back({name + ".brr", std::move(brr)});
        if (options_.unique) written_by_content_.emplace(std::move(key), written);
      }
    }
    std::vector<std::string> voices;
    for (int v : voices_using_source(spc, srcn)) voices.push_back(std::to_string(v));
    const auto texts = chart_row_texts(row);
    manifest_ += spc_path + "\t" + texts[0] + "\t" + two_digit_hex(srcn) + "\t" + texts[1] + "\t" +
                 texts[2] + "\t" + std::to_string(sample.blocks.size()) + "\t" +
                 (sample.loop_sample ? std::to_string(*sample.loop_sample) : "-") + "\t" +
                 join(voices, ",") + "\t" + join(sample_warning_texts(spc, sample), ", ") + "\t" +
                 written + "\n";
  }
}

export_result sample_export::write(const std::string& folder) {
  export_result result;
  result.folder = folder;
  result.not_ended = not_ended_;
  const auto fail = [&result](std::string failure) {
    result.ok = false;
    result.failure = std::move(failure);
    return result;
  };
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return fail("Unable to create folder " + folder + ": " + error.message());

  std::vector<std::pair<std::string, const std::vector<u8>*>> targets;
  const std::vector<u8> manifest(manifest_.begin(), manifest_.end());
  std::set<std::string> names;
  for (const file_to_write& file : files_) {
    if (!names.insert(file.name).second)
      return fail(folder + "/" + file.name + " would be written twice: two files share its stem");
    targets.emplace_back(folder + "/" + file.name, &file.bytes);
  }
  targets.emplace_back(folder + "/" + export_manifest_name, &manifest);
  if (!options_.force) {
    for (const auto& [path, bytes] : targets) {
      struct stat st;
      if (lstat(path.c_str(), &st) == 0) {
        result.target_existed = true;
        return fail(path + " already exists: nothing was written");
      }
    }
  }
  for (const auto& [path, bytes] : targets) {
    std::string failure;
    if (!write_whole_file(path, *bytes, options_.force, failure)) return fail(failure);
    if (bytes != &manifest) ++result.files_written;
  }
  result.samples_written = samples_;
  return result;
}

export_result export_samples(const spc_format& spc, const std::string& spc_path,
                             const std::vector<int>& sample_numbers, const std::string& folder,
                             const export_options& options) {
  sample_export run(options);
  run.add_image(spc, spc_path, sample_numbers);
  return run.write(folder);
}
