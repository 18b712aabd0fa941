// A stem is rendered whole into memory and then published, so a cancelled
// or failed render never leaves a file behind; one file at a time keeps
// memory to one file's size (23 MB for three minutes).
#include "stem_render.h"

#include <sys/stat.h>

#include <filesystem>

#include "id666.h"
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

// Renders one file's samples; false when cancelled or the library failed.
bool render(const stem_plan& plan, unsigned mute_mask, const std::atomic<bool>* cancel,
            const std::function<void(std::int64_t)>& rendered, std::vector<std::int16_t>& pcm,
            std::string& failure) {
  const std::unique_ptr<OSPC_Renderer, renderer_close> renderer(OSPC_RendererOpen(
      plan.image.get(), sizeof(spc_format), mute_mask, plan.frames, plan.fade_frames));
  if (!renderer) {
    failure = plan.spc_path + ": the emulator does not take this file";
    return false;
  }
  pcm.assign(static_cast<std::size_t>(plan.frames) * 2, 0);
  std::int64_t done = 0;
  while (done < plan.frames) {
    if (cancel != nullptr && cancel->load()) return false;
    const int bytes = OSPC_RendererRun(renderer.get(), buffer_frames,
                                       reinterpret_cast<short*>(pcm.data() + done * 2),
                                       buffer_frames * OSPC_FRAME_BYTES);
    if (bytes <= 0) {
      failure = plan.spc_path + ": the emulator stopped after " +
                std::to_string(done / OSPC_SAMPLE_RATE) + " s";
      return false;
    }
    done += bytes / OSPC_FRAME_BYTES;
    rendered(bytes / OSPC_FRAME_BYTES);
  }
  return true;
}

}  // namespace

std::vector<std::string> stem_plan::file_names() const {
  std::vector<std::string> names;
  for (int voice : voices) names.push_back(stem + "-voice" + std::to_string(voice) + ".wav");
  names.push_back(stem + "-mix.wav");
  return names;
}

unsigned stem_mute_mask(int voice) { return voice < 0 ? 0u : 0xFFu & ~(1u << voice); }

stem_plan plan_stems(std::shared_ptr<const spc_format> image, const std::string& spc_path,
                     double seconds, const std::atomic<bool>* cancel) {
  stem_plan plan;
  plan.image = std::move(image);
  plan.spc_path = spc_path;
  plan.stem = std::filesystem::path(spc_path).stem().string();
  const spc_format& spc = *plan.image;
  const std::int64_t fade_frames =
      std::int64_t(std::max<std::int32_t>(id666_fade_msec(spc), 0)) * OSPC_SAMPLE_RATE / 1000;
  const std::int64_t song_seconds = id666_song_seconds(spc);
  if (seconds > 0) {
    plan.frames = static_cast<std::int64_t>(seconds * OSPC_SAMPLE_RATE);
  } else if (song_seconds > 0) {
    plan.frames = song_seconds * OSPC_SAMPLE_RATE + fade_frames;
  } else {
    plan.frames = static_cast<std::int64_t>(stems_default_seconds * OSPC_SAMPLE_RATE);
  }
  plan.fade_frames = std::min(fade_frames, plan.frames);

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
  return std::to_string(files_written) + (files_written == 1 ? " stem file" : " stem files") +
         " written to " + folder;
}

stems_result write_stems(const std::vector<stem_plan>& plans, const std::string& folder,
                         bool force, const std::atomic<bool>* cancel,
                         const std::function<void(double)>& progress) {
  stems_result result;
  result.folder = folder;
  const auto fail = [&result](std::string failure) {
    result.ok = false;
    result.failure = std::move(failure);
    return result;
  };
  std::int64_t total_frames = 0;
  for (const stem_plan& plan : plans) {
    const auto names = plan.file_names();
    result.files_planned += static_cast<int>(names.size());
    total_frames += plan.frames * static_cast<std::int64_t>(names.size());
    if (force) continue;
    for (const std::string& name : names) {
      const std::string path = folder + "/" + name;
      struct stat st;
      if (lstat(path.c_str(), &st) == 0) {
        result.target_existed = true;
        return fail(path + " already exists: nothing was written");
      }
    }
  }

  // A run that writes nothing creates no folder.
  if (std::string failure; !make_folder(folder, failure)) return fail(failure);

  std::int64_t frames_done = 0;
  const auto rendered = [&](std::int64_t frames) {
    frames_done += frames;
    if (progress && total_frames > 0) progress(double(frames_done) / double(total_frames));
  };
  std::vector<std::int16_t> pcm;
  for (const stem_plan& plan : plans) {
    std::vector<int> voices = plan.voices;
    voices.push_back(-1);  // the mix
    const auto names = plan.file_names();
    for (std::size_t i = 0; i < voices.size(); ++i) {
      std::string failure;
      if (!render(plan, stem_mute_mask(voices[i]), cancel, rendered, pcm, failure)) {
        if (!failure.empty()) return fail(failure);
        result.cancelled = true;
        return result;
      }
      if (!publish_file(folder + "/" + names[i], wav_stereo_file_bytes(pcm), force, failure))
        return fail(failure);
      ++result.files_written;
    }
  }
  return result;
}
