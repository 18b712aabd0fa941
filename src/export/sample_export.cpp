#include "sample_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "hex_text.h"
#include "sample_checks.h"
#include "file_publish.h"
#include "text_escape.h"
#include "voices.h"

namespace {

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

// The RIFF header, the fmt chunk of 16-bit PCM at the DSP's rate and the data
// chunk's header; `after_data` is the size of the chunks that follow the data.
void put_wav_head(std::vector<u8>& out, std::uint16_t channels, std::uint32_t data_bytes,
                  std::uint32_t after_data) {
  put_tag(out, "RIFF");
  put_u32(out, 4 + (8 + 16) + (8 + data_bytes) + after_data);
  put_tag(out, "WAVE");
  put_tag(out, "fmt ");
  put_u32(out, 16);
  put_u16(out, 1);                           // PCM
  put_u16(out, channels);
  put_u32(out, dsp_rate_hz);
  put_u32(out, dsp_rate_hz * 2u * channels);  // bytes per second
  put_u16(out, 2u * channels);                // bytes per frame
  put_u16(out, 16);                          // bits per sample
  put_tag(out, "data");
  put_u32(out, data_bytes);
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

// Identical samples across a run, kept as two independent 64-bit hashes of
// the chain beside its size and loop offset rather than the bytes, so that
// a thousand files' worth costs little memory; a chance match of both is
// beyond any real collection.
struct content_key {
  std::size_t size = 0;
  std::size_t loop_offset = 0;
  std::uint64_t fnv = 0;
  std::uint64_t mix = 0;
  auto operator<=>(const content_key&) const = default;
};

content_key key_of(const std::vector<u8>& chain, std::size_t loop_offset) {
  content_key key{chain.size(), loop_offset, 0xCBF29CE484222325ull, 0};
  for (const u8 byte : chain) {
    key.fnv = (key.fnv ^ byte) * 0x100000001B3ull;
    key.mix = (key.mix + byte + 1) * 0x9E3779B97F4A7C15ull;
    key.mix ^= key.mix >> 29;
  }
  return key;
}

// What letter case a stem is compared in: FAT and exFAT take "Song" and
// "song" for one name (ASCII folding covers the common case).
std::string folded(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

struct file_closer {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::vector<u8> wav_file_bytes(const looped_pcm& sample, const sample_tuning* tuning) {
  const std::uint32_t data_bytes = static_cast<std::uint32_t>(sample.pcm.size() * 2);
  const std::uint32_t loops = sample.loop_start ? 1 : 0;
  const std::uint32_t smpl_bytes = loops || tuning ? 36 + 24 * loops : 0;
  // smpl's pitch is a note and a fraction of a semitone up from it.
  std::uint32_t unity_note = midi_middle_c, pitch_fraction = 0;
  if (tuning) {
    const double below = std::floor(tuning->root);
    unity_note = static_cast<std::uint32_t>(std::clamp(below, 0.0, 127.0));
    pitch_fraction = static_cast<std::uint32_t>(
        std::min((tuning->root - below) * 4294967296.0, 4294967295.0));
  }
  std::vector<u8> out;
  out.reserve(44 + data_bytes + (smpl_bytes ? 8 + smpl_bytes : 0));
  put_wav_head(out, 1, data_bytes, smpl_bytes ? 8 + smpl_bytes : 0);
  for (std::int16_t s : sample.pcm) put_u16(out, static_cast<std::uint16_t>(s));
  if (smpl_bytes) {
    put_tag(out, "smpl");
    put_u32(out, smpl_bytes);
    put_u32(out, 0);                     // manufacturer
    put_u32(out, 0);                     // product
    put_u32(out, dsp_sample_period_ns);
    put_u32(out, unity_note);
    put_u32(out, pitch_fraction);
    put_u32(out, 0);                     // SMPTE format
    put_u32(out, 0);                     // SMPTE offset
    put_u32(out, loops);
    put_u32(out, 0);                     // sampler data
  }
  if (sample.loop_start) {
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
  for (const std::string& failed : files_failed) text += "; " + failed;
  return text;
}

struct sample_export::run_state {
  run_state(const export_options& run_options, std::string folder_path)
      : options(run_options), folder(std::move(folder_path), options.publishing) {}
  export_options options;
  run_folder folder;
  mode how = mode::write;
  bool images_added = false;  // a run given no image writes no manifest (nor folder)
  std::set<std::string> stems_taken;  // folded
  std::map<content_key, std::string> written_by_content;
  std::map<content_key, std::string> name_by_content;  // the files' name, without extension
  // The manifest's lines so far, outside the folder (an unnamed file that
  // vanishes with the process): it goes into the folder only at the end.
  std::unique_ptr<std::FILE, file_closer> manifest;
  int samples = 0;
  export_result result;

  bool fail(std::string failure) {
    result.ok = false;
    result.failure = std::move(failure);
    return false;
  }

  // The stem of `spc_path`, made fit for the lines that name its files, or
  // the first of "STEM (2)", "STEM (3)"… that no earlier image of the run has.
  std::string take_stem(const std::string& spc_path) {
    const std::string stem =
        output_name_from(std::filesystem::path(spc_path).stem().string(), options.instruments);
    std::string given = stem;
    for (int n = 2; !stems_taken.insert(folded(given)).second; ++n)
      given = stem + " (" + std::to_string(n) + ")";
    return given;
  }

  // How putting one file went: written, left out (its name can't be
  // written; named in result.files_failed, the run goes on) or stopped
  // (the run failed).
  enum class put_outcome { written, left_out, stopped };

  // A checking run looks for the file; a writing run makes the folder when
  // it first needs it, then writes.
  put_outcome put(const std::string& name, const std::function<int(pending_file&)>& fill) {
    const std::string path = folder.path() + "/" + name;
    if (how == mode::check_only) {
      struct stat st;
      if (!options.force && lstat(path.c_str(), &st) == 0) {
        result.target_existed = true;
        fail(path + " already exists: nothing was written");
        return put_outcome::stopped;
      }
      return put_outcome::written;
    }
    std::string failure;
    if (folder.make(failure) != 0) {
      fail(failure);
      return put_outcome::stopped;
    }
    pending_file file(path, options.publishing);
    if (file.error() == 0) fill(file);
    const int error = file.publish(options.force);
    if (error == 0) return put_outcome::written;
    if (error == EEXIST) result.target_existed = true;
    if (publish_error_stops_run(error)) {
      fail(publish_failure_text(path, error));
      return put_outcome::stopped;
    }
    result.files_failed.push_back(publish_failure_text(path, error));
    return put_outcome::left_out;
  }

  put_outcome put_bytes(const std::string& name, const std::vector<u8>& bytes) {
    return put(name,
               [&bytes](pending_file& file) { return file.write(bytes.data(), bytes.size()); });
  }

  bool add_manifest_line(const std::string& line) {
    if (how == mode::check_only) return true;
    if (!manifest) {
      manifest.reset(std::tmpfile());
      if (!manifest)
        return fail(publish_failure_text(folder.path() + "/" + export_manifest_name, errno));
      std::string titles =
          "file\tsample #\tsrcn\tstart\tloop\tblocks\tloop sample\tvoices\twarnings\twritten";
      if (options.tunings) titles += tuning_manifest_titles;
      std::fputs((titles + "\n").c_str(), manifest.get());
    }
    if (std::fwrite(line.data(), 1, line.size(), manifest.get()) != line.size())
      return fail(publish_failure_text(folder.path() + "/" + export_manifest_name, errno));
    return true;
  }
};

sample_export::sample_export(export_options options, std::string folder, mode how)
    : state_(std::make_unique<run_state>(options, std::move(folder))) {
  state_->how = how;
  state_->result.folder = state_->folder.path();
}

sample_export::~sample_export() = default;

bool sample_export::add_image(const spc_format& spc, const std::string& spc_path,
                              const std::vector<int>& sample_numbers) {
  run_state& run = *state_;
  if (!run.result.ok) return false;
  run.images_added = true;
  stem_given_ = run.take_stem(spc_path);
  names_given_.clear();
  const bool writing = run.how == mode::write;
  std::int32_t count = 0;
  std::unique_ptr<sample_chart[]> chart;
  generate_sample_chart(spc, count, chart);
  for (std::int32_t i = 0; chart && i < count; ++i) {
    const sample_chart& row = chart[i];
    if (!sample_numbers.empty() &&
        std::find(sample_numbers.begin(), sample_numbers.end(), row.sample_number) ==
            sample_numbers.end())
      continue;
    // A check needs only the chain's blocks; only what is written is decoded.
    const brr_sample sample = writing ? brr_decode_entry(spc, row)
                                      : brr_walk_chain(spc, row.sample_address, row.loop_address);
    const int srcn = row.sample_number - 1;
    std::string written = "-";
    if (!sample.ends) {
      ++run.result.not_ended;
    } else {
      const std::string name = stem_given_ + "-" + two_digit_hex(row.sample_number);
      const content_key key = key_of(brr_chain_bytes(spc, sample), loop_offset_bytes(sample));
      const auto known =
          run.options.unique ? run.written_by_content.find(key) : run.written_by_content.end();
      if (known != run.written_by_content.end()) {
        ++run.samples;
        written = known->second;
        names_given_[row.sample_number] = run.name_by_content[key];
      } else {
        const std::vector<u8> wav =
            writing ? wav_file_bytes(playable_pcm(spc, sample),
                                     tuning_of(run.options.tunings, spc_path, srcn))
                    : std::vector<u8>{};
        const auto wav_put = run.put_bytes(name + ".wav", wav);
        if (wav_put == run_state::put_outcome::stopped) return false;
        const auto brr_put =
            run.put_bytes(name + ".brr", brr_file_bytes(spc, sample, run.options.loop_header));
        if (brr_put == run_state::put_outcome::stopped) return false;
        // The manifest names only what was written; a file whose name could
        // not be written is named on its own and the run goes on.
        const bool wav_written = wav_put == run_state::put_outcome::written;
        const bool brr_written = brr_put == run_state::put_outcome::written;
        std::vector<std::string> files;
        if (wav_written) files.push_back(text_line_escape(name + ".wav"));
        if (brr_written) files.push_back(text_line_escape(name + ".brr"));
        written = join(files, " ");
        run.result.files_written += int(wav_written) + int(brr_written);
        if (wav_written) names_given_[row.sample_number] = name;  // a kit plays the WAV file
        if (wav_written && brr_written) {
          ++run.samples;
          if (run.options.unique) {
            run.name_by_content.emplace(key, name);
            run.written_by_content.emplace(key, written);
          }
        }
      }
    }
    std::vector<std::string> voices;
    for (int v : voices_using_source(spc, srcn)) voices.push_back(std::to_string(v));
    const auto texts = chart_row_texts(row);
    if (!run.add_manifest_line(
            text_line_escape(spc_path) + "\t" + texts[0] + "\t" + two_digit_hex(srcn) + "\t" +
            texts[1] + "\t" + texts[2] + "\t" + std::to_string(sample.blocks.size()) + "\t" +
            (sample.loop_sample ? std::to_string(*sample.loop_sample) : "-") + "\t" +
            join(voices, ",") + "\t" + join(sample_warning_texts(spc, sample), ", ") + "\t" +
            written +
            (run.options.tunings
                 ? tuning_manifest_fields(
                       find_instrument(run.options.tunings, spc_path, srcn), srcn)
                 : "") +
            "\n"))
      return false;
  }
  return true;
}

export_result sample_export::finish() {
  run_state& run = *state_;
  // The titles, even when no entry was added; but a run given no image
  // writes nothing at all.
  if (run.result.ok && run.images_added && run.add_manifest_line("")) {
    std::FILE* manifest = run.manifest.get();
    const auto put = run.put(export_manifest_name, [manifest](pending_file& file) {
      if (!manifest) return 0;  // a check writes nothing
      if (std::fflush(manifest) != 0) return file.fail(errno);
      std::rewind(manifest);
      u8 chunk[1 << 16];
      for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, manifest)) > 0;)
        if (const int error = file.write(chunk, n); error != 0) return error;
      return std::ferror(manifest) ? file.fail(EIO) : 0;
    });
    if (put == run_state::put_outcome::written) run.result.samples_written = run.samples;
    else if (put == run_state::put_outcome::left_out) run.fail(run.result.files_failed.back());
  }
  if (run.how == mode::check_only) run.result.samples_written = 0;
  return run.result;
}

export_result export_samples(const spc_format& spc, const std::string& spc_path,
                             const std::vector<int>& sample_numbers, const std::string& folder,
                             const export_options& options) {
  if (!options.force) {
    sample_export check(options, folder, sample_export::mode::check_only);
    check.add_image(spc, spc_path, sample_numbers);
    if (export_result checked = check.finish(); !checked.ok) return checked;
  }
  sample_export run(options, folder);
  run.add_image(spc, spc_path, sample_numbers);
  return run.finish();
}

std::vector<u8> wav_stereo_header(std::uint32_t frames) {
  std::vector<u8> out;
  put_wav_head(out, 2, std::min(frames, wav_stereo_max_frames) * 4u, 0);
  return out;
}
