// A stem is rendered a quarter of a second at a time into its temporary
// file, and published once whole, so a cancelled or failed render never
// leaves a file behind and memory stays at one buffer whatever the length.
#include "stem_render.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "file_publish.h"
#include "openspc.h"
#include "sample_export.h"
#include "song_trace.h"
#include "voices.h"

namespace {

constexpr int buffer_frames = 8000;  // a quarter of a second, as the player renders

// The DSP makes no sound on a voice that is not keyed on (KON, which the
// emulator takes as a pending key-on) and whose envelope and output are 0.
bool silent_at_snapshot(const voice_state& voice) {
  return !voice.keyed_on && voice.envx == 0 && voice.outx == 0;
}

struct renderer_close {
  void operator()(OSPC_Renderer* renderer) const noexcept { OSPC_RendererClose(renderer); }
};

std::string voice_file_name(const std::string& stem, int voice) {
  return voice < 0 ? stem + "-mix.wav" : stem + "-voice" + std::to_string(voice) + ".wav";
}

// What rendering one file came to.
enum class rendered { whole, cancelled, failed };

// Renders one stem into `file`, its WAV header first; `failure` says why
// when the library failed. `done` gets the frames of every buffer.
rendered render_into(pending_file& file, const stem_plan& plan, unsigned mute_mask,
                     const std::atomic<bool>* cancel,
                     const std::function<void(std::int64_t)>& done, std::string& failure) {
  const std::unique_ptr<OSPC_Renderer, renderer_close> renderer(OSPC_RendererOpen(
      plan.image.get(), sizeof(spc_format), mute_mask, plan.frames, plan.fade_frames));
  if (!renderer) {
    failure = plan.spc_path + ": the emulator does not take this file";
    return rendered::failed;
  }
  const std::vector<u8> header = wav_stereo_header(static_cast<std::uint32_t>(plan.frames));
  file.write(header.data(), header.size());
  std::vector<std::int16_t> pcm(buffer_frames * 2);
  std::int64_t frames_done = 0;
  while (frames_done < plan.frames && file.error() == 0) {
    if (cancel != nullptr && cancel->load()) return rendered::cancelled;
    const int frames =
        static_cast<int>(std::min<std::int64_t>(buffer_frames, plan.frames - frames_done));
    const int bytes = OSPC_RendererRun(renderer.get(), frames, pcm.data(),
                                       frames * OSPC_FRAME_BYTES);
    if (bytes <= 0) {
      failure = plan.spc_path + ": the emulator stopped after " +
                std::to_string(frames_done / OSPC_SAMPLE_RATE) + " s";
      return rendered::failed;
    }
    const int got = bytes / OSPC_FRAME_BYTES;
    if constexpr (std::endian::native == std::endian::big)  // WAV is little-endian
      for (std::int16_t& s : pcm)
        s = static_cast<std::int16_t>(__builtin_bswap16(static_cast<std::uint16_t>(s)));
    file.write(pcm.data(), static_cast<std::size_t>(got) * OSPC_FRAME_BYTES);
    frames_done += got;
    done(got);
  }
  return rendered::whole;
}

}  // namespace

std::vector<std::string> stem_plan::file_names() const {
  std::vector<std::string> names;
  for (int voice : voices) names.push_back(voice_file_name(stem, voice));
  names.push_back(voice_file_name(stem, -1));
  return names;
}

unsigned stem_mute_mask(int voice) { return voice < 0 ? 0u : 0xFFu & ~(1u << voice); }

stem_plan plan_stems(std::shared_ptr<const spc_format> image, const std::string& spc_path,
                     const song_length& length, const std::atomic<bool>* cancel) {
  stem_plan plan;
  plan.image = std::move(image);
  plan.spc_path = spc_path;
  plan.stem = std::filesystem::path(spc_path).stem().string();
  const spc_format& spc = *plan.image;
  plan.frames = static_cast<std::int64_t>(length.seconds * OSPC_SAMPLE_RATE);
  plan.fade_frames = std::min(
      static_cast<std::int64_t>(length.fade_seconds * OSPC_SAMPLE_RATE), plan.frames);

  const song_trace trace =
      trace_song(spc, static_cast<double>(plan.frames) / OSPC_SAMPLE_RATE, cancel);
  unsigned keyed = 0;
  for (const trace_event& event : trace.events)
    if (event.kind == trace_event_kind::key_on) keyed |= 1u << event.voice;
  // A cut-short trace proves nothing about the rest of the song.
  if (trace.ended == trace_end::cancelled) keyed = 0xFF;
  for (const voice_state& voice : read_voices(spc)) {
    const bool sounds = (keyed >> voice.voice & 1) != 0 || !silent_at_snapshot(voice);
    (sounds ? plan.voices : plan.skipped).push_back(voice.voice);
  }
  return plan;
}

std::string stems_result::summary() const {
  if (cancelled) {
    return "Stems cancelled: " + std::to_string(files_written) + " of " +
           std::to_string(files_planned) + " files written to " + folder;
  }
  if (!ok) return failure;
  std::string text = std::to_string(files_written) +
                     (files_written == 1 ? " stem file" : " stem files") + " written to " + folder;
  for (const std::string& failed : files_failed) text += "; " + failed;
  return text;
}

stems_result write_stems(const std::vector<stem_plan>& plans, const std::string& folder,
                         bool force, const std::atomic<bool>* cancel,
                         const std::function<void(double)>& progress,
                         const publish_context& publishing) {
  stems_result result;
  result.folder = folder;
  const auto fail = [&result](std::string failure) {
    result.ok = false;
    result.failure = std::move(failure);
    return result;
  };
  std::int64_t total_frames = 0;
  for (const stem_plan& plan : plans) {
    // Refused before anything is rendered: RF64 would hold it, but few
    // programs read it, and nine hours of one voice is no one's stem.
    if (plan.frames > std::int64_t{wav_stereo_max_frames})
      return fail(plan.spc_path + ": stems of " + std::to_string(plan.frames / OSPC_SAMPLE_RATE) +
                  " s are longer than a WAV file holds (4 GiB, " +
                  std::to_string(wav_stereo_max_frames / OSPC_SAMPLE_RATE) +
                  " s): nothing was written");
    const auto names = plan.file_names();
    result.files_planned += static_cast<int>(names.size());
    total_frames += plan.frames * static_cast<std::int64_t>(names.size());
    if (force) continue;
    for (int voice = -1; voice < 8; ++voice) {
      const std::string path = folder + "/" + voice_file_name(plan.stem, voice);
      struct stat st;
      if (lstat(path.c_str(), &st) == 0) {
        result.target_existed = true;
        return fail(path + " already exists: nothing was written");
      }
    }
  }

  run_folder out(folder, publishing);
  std::int64_t frames_done = 0;
  const auto done = [&](std::int64_t frames) {
    frames_done += frames;
    if (progress && total_frames > 0) progress(double(frames_done) / double(total_frames));
  };
  for (const stem_plan& plan : plans) {
    std::vector<int> voices(8);
    for (int voice = 0; voice < 8; ++voice) voices[static_cast<std::size_t>(voice)] = voice;
    voices.push_back(-1);  // the mix
    for (int voice : voices) {
      const std::string path = folder + "/" + voice_file_name(plan.stem, voice);
      const bool sounds =
          voice < 0 || std::find(plan.voices.begin(), plan.voices.end(), voice) != plan.voices.end();
      if (!sounds) {
        // An earlier run's stem of a voice this run leaves out: --force
        // replaces it with nothing (without it, none was there).
        if (force && unlink(path.c_str()) != 0 && errno != ENOENT)
          result.files_failed.push_back("Unable to remove " + path + ": " + std::strerror(errno));
        continue;
      }
      std::string failure;
      if (out.make(failure) != 0) return fail(failure);
      pending_file file(path, publishing);
      int error = file.error();
      if (error == 0) {
        const rendered how = render_into(file, plan, stem_mute_mask(voice), cancel, done, failure);
        if (how == rendered::failed) return fail(failure);
        if (how == rendered::cancelled) {
          result.cancelled = true;
          return result;
        }
        error = file.publish(force);
      } else {
        done(plan.frames);  // not rendered, but done with
      }
      if (error == 0) {
        ++result.files_written;
      } else if (publish_error_stops_run(error)) {
        result.target_existed = error == EEXIST;
        return fail(publish_failure_text(path, error));
      } else {
        result.files_failed.push_back(publish_failure_text(path, error));
      }
    }
  }
  return result;
}
