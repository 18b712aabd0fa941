// quorlin --export --midi run as a process with DISPLAY unset; every
// STEM.mid read back by FluidSynth's own player and played with STEM.sf2
// (no default SoundFont, no reverb or chorus), each voice against libgme
// playing that voice alone: onsets and frame-wise pitch.
#include <gtest/gtest.h>

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "audio_analysis.h"
#include "command_run.h"
#include "gme_reference.h"
#include "spc_builder.h"

namespace {

constexpr double seconds = 12;

run_result quorlin(std::vector<std::string> args) {
  args.insert(args.begin(), QUORLIN_BINARY);
  return run_without_display(std::move(args));
}

// A MIDI file played by FluidSynth offline: its player reads the file, and
// every note-on it hands the synth is counted.
struct fluid_render {
  std::vector<double> pcm;  // mono at 32000 Hz
  int note_ons = 0;
  std::vector<std::size_t> notes_played;  // when each note of the channel played started, in frames
  bool finished = false;    // the player reached the file's end
  // The frame of the first note that sounds (a voice may sound from before
  // the snapshot, keyed on by no event of the song): the comparison starts there.
  std::optional<std::size_t> first_note;
};

struct player_filter {
  fluid_synth_t* synth;
  int channel;  // only this channel's notes sound; -1: all
  fluid_render* out;
};

int play_event(void* data, fluid_midi_event_t* event) {
  auto* filter = static_cast<player_filter*>(data);
  const int type = fluid_midi_event_get_type(event);
  const bool note_on = type == 0x90 && fluid_midi_event_get_velocity(event) > 0;
  if (note_on) ++filter->out->note_ons;
  if (note_on && filter->channel >= 0 && fluid_midi_event_get_channel(event) != filter->channel)
    return FLUID_OK;
  if (note_on) filter->out->notes_played.push_back(filter->out->pcm.size());
  if (note_on && !filter->out->first_note) filter->out->first_note = filter->out->pcm.size();
  return fluid_synth_handle_midi_event(filter->synth, event);
}

fluid_render render_midi(const std::string& sf2, const std::string& mid, int channel,
                         double max_seconds) {
  using settings_ptr = std::unique_ptr<fluid_settings_t, decltype(&delete_fluid_settings)>;
  using synth_ptr = std::unique_ptr<fluid_synth_t, decltype(&delete_fluid_synth)>;
  using player_ptr = std::unique_ptr<fluid_player_t, decltype(&delete_fluid_player)>;
  settings_ptr settings(new_fluid_settings(), delete_fluid_settings);
  fluid_settings_setnum(settings.get(), "synth.sample-rate", 32000);
  fluid_settings_setint(settings.get(), "synth.reverb.active", 0);
  fluid_settings_setint(settings.get(), "synth.chorus.active", 0);
  fluid_settings_setint(settings.get(), "synth.cpu-cores", 1);
  fluid_settings_setstr(settings.get(), "player.timing-source", "sample");
  synth_ptr synth(new_fluid_synth(settings.get()), delete_fluid_synth);
  fluid_render out;
  if (fluid_synth_sfload(synth.get(), sf2.c_str(), 1) == FLUID_FAILED) return out;
  player_ptr player(new_fluid_player(synth.get()), delete_fluid_player);
  player_filter filter{synth.get(), channel, &out};
  fluid_player_set_playback_callback(player.get(), play_event, &filter);
  fluid_player_add(player.get(), mid.c_str());
  fluid_player_play(player.get());
  std::vector<float> left(64), right(64);
  const auto frames = std::size_t(max_seconds * 32000);
  while (out.pcm.size() < frames && fluid_player_get_status(player.get()) == FLUID_PLAYER_PLAYING) {
    fluid_synth_write_float(synth.get(), 64, left.data(), 0, 1, right.data(), 0, 1);
    for (int i = 0; i < 64; ++i) out.pcm.push_back((left[i] + right[i]) / 2);
  }
  out.finished = fluid_player_get_status(player.get()) == FLUID_PLAYER_DONE;
  out.pcm.resize(std::min(out.pcm.size(), frames));
  return out;
}

// The level of x in 0.25 ms frames (8 DSP samples).
constexpr std::size_t level_frame = 8;
std::vector<double> levels_of(const std::vector<double>& x) {
  std::vector<double> level;
  for (std::size_t at = 0; at + level_frame <= x.size(); at += level_frame)
    level.push_back(rms(x, at, level_frame));
  return level;
}

// The attack of a note started near `around` (in DSP samples): within 8 ms
// of it, where the level rises most over 1 ms, when it rises by a fifth of
// the loudest there at least. In DSP samples.
std::optional<std::size_t> attack_near(const std::vector<double>& level, std::size_t around) {
  const std::size_t centre = around / level_frame, reach = 32;
  if (centre < reach + 4 || centre + reach >= level.size()) return std::nullopt;
  double loudest = 0, best_rise = 0;
  std::size_t best = 0;
  for (std::size_t i = centre - reach; i <= centre + reach; ++i) {
    loudest = std::max(loudest, level[i]);
    if (level[i] - level[i - 4] > best_rise) best_rise = level[i] - level[i - 4], best = i;
  }
  if (best_rise <= 0 || best_rise < loudest / 5) return std::nullopt;
  return best * level_frame;
}

// The pitch of x[at, at + 1024) in Hz by normalized autocorrelation (50 Hz
// to 1.6 kHz), when it is clearly periodic there.
std::optional<double> frame_pitch(const std::vector<double>& x, std::size_t at) {
  constexpr std::size_t size = 1024;
  double best = 0;
  std::vector<double> nacf(641, 0);
  for (std::size_t lag = 20; lag <= 640; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t i = 0; i + lag < size; ++i) {
      xy += x[at + i] * x[at + i + lag];
      xx += x[at + i] * x[at + i];
      yy += x[at + i + lag] * x[at + i + lag];
    }
    nacf[lag] = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    best = std::max(best, nacf[lag]);
  }
  if (best < 0.85) return std::nullopt;
  // The shortest lag that nearly matches the best (not a multiple of the period).
  for (std::size_t lag = 21; lag < 640; ++lag)
    if (nacf[lag] >= 0.95 * best && nacf[lag] >= nacf[lag - 1] && nacf[lag] >= nacf[lag + 1]) {
      const double a = nacf[lag - 1], b = nacf[lag], c = nacf[lag + 1];
      const double shift = (a - c) / (2 * (a - 2 * b + c));  // parabolic peak
      return 32000.0 / (double(lag) + (std::isfinite(shift) ? shift : 0));
    }
  return std::nullopt;
}

struct voice_figures {
  std::vector<double> onset_delays;  // FluidSynth's attack after libgme's, per note, in samples
  int onsets_unheard = 0;            // notes libgme attacks and FluidSynth does not
  int tonal_frames = 0, frames_within_50_cents = 0;
};

// One voice's FluidSynth render against libgme's.
void compare_voice(const fluid_render& render, const std::vector<double>& reference,
                   voice_figures& f) {
  if (!render.first_note) return;  // the voice plays no note
  const std::vector<double>& played = render.pcm;
  const std::vector<double> ours = levels_of(played), theirs = levels_of(reference);
  for (std::size_t note : render.notes_played) {
    const auto want = attack_near(theirs, note), got = attack_near(ours, note);
    if (!want) continue;
    if (got)
      f.onset_delays.push_back(double(*got) - double(*want));
    else
      ++f.onsets_unheard;
  }
  const double loudest = std::max(1e-9, rms(reference, 0, reference.size()));
  for (std::size_t at = *render.first_note; at + 1024 <= std::min(played.size(), reference.size());
       at += 1600) {
    if (rms(reference, at, 1024) < loudest / 10) continue;
    const auto want = frame_pitch(reference, at);
    if (!want) continue;
    ++f.tonal_frames;
    const auto got = frame_pitch(played, at);
    if (got && std::abs(1200 * std::log2(*got / *want)) <= 50) ++f.frames_within_50_cents;
  }
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct exported {
  run_result run;
  std::string mid, sf2;
  int notes = -1;  // as quorlin's note says
};

exported export_midi(const std::string& spc, const std::string& out) {
  exported e;
  e.run = quorlin({"--export", out, "--midi", "--played", "--seconds", "12", spc});
  const std::string stem = std::filesystem::path(spc).stem().string();
  e.mid = out + "/" + stem + ".mid";
  e.sf2 = out + "/" + stem + ".sf2";
  std::smatch m;
  if (std::regex_search(e.run.err, m, std::regex(stem + "\\.mid: (\\d+) notes"))) e.notes = std::stoi(m[1]);
  return e;
}

TEST(MidiRenderTest, EveryCorpusSongsMidiPlaysItsVoicesLikeLibgme) {
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);  // channel 10's drum bank, which no kit has
  if (corpus_file("sato_forest_01.spc").empty())
    GTEST_SKIP() << "SPC corpus not found (../shared/spc-corpus)";
  temp_dir dir;
  int files_compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus_file(""))) {
    if (entry.path().extension() != ".spc") continue;
    const std::string spc = entry.path().string();
    const exported e = export_midi(spc, dir.file(entry.path().stem().string()));
    ASSERT_EQ(e.run.status, 0) << e.run.err;
    if (!std::filesystem::exists(e.mid)) {
      std::printf("%s: no MIDI file (%s)\n", entry.path().filename().c_str(), e.run.err.c_str());
      continue;
    }
    // FluidSynth's player reads the whole file and finds every note.
    const fluid_render all = render_midi(e.sf2, e.mid, -1, seconds + 5);
    EXPECT_TRUE(all.finished) << e.mid;
    EXPECT_EQ(all.note_ons, e.notes) << e.mid;

    const std::string bytes = read_file(spc);
    spc_format image;
    std::memcpy(&image, bytes.data(), sizeof image);
    voice_figures total;
    for (int voice = 0; voice < 8; ++voice) {
      const std::vector<double> reference =
          mono(gme_reference_render(image, seconds, 0xFFu & ~(1u << voice)));
      const fluid_render played = render_midi(e.sf2, e.mid, voice, seconds);
      compare_voice(played, reference, total);
    }
    ++files_compared;
    // FluidSynth starts a note at its next 64-sample block and ramps its
    // envelope over a block: a constant latency of its own, taken out as
    // the median delay before the onsets are compared.
    std::vector<double> delays = total.onset_delays;
    std::sort(delays.begin(), delays.end());
    const double latency = delays.empty() ? 0 : delays[delays.size() / 2];
    const auto within_2ms = std::count_if(delays.begin(), delays.end(), [latency](double d) {
      return std::abs(d - latency) <= 64;
    });
    const std::size_t onsets = delays.size() + std::size_t(total.onsets_unheard);
    const double onset_share = onsets ? double(within_2ms) / double(onsets) : 1;
    const double pitch_share =
        total.tonal_frames ? double(total.frames_within_50_cents) / total.tonal_frames : 1;
    std::printf("%s: onsets within 2 ms %ld/%zu (%.0f %%, FluidSynth's latency %.1f ms), tonal "
                "frames within 50 cents %d/%d (%.0f %%)\n",
                entry.path().filename().c_str(), long(within_2ms), onsets, 100 * onset_share,
                latency / 32, total.frames_within_50_cents, total.tonal_frames, 100 * pitch_share);
    // Onsets are judged where enough notes attack sharply in libgme's render
    // (a slow attack has no one moment to compare). The instruments taken
    // from the song (osoumen's driver, which sets every level itself) have
    // low, rough waves whose level over a frame swings with the wave, so
    // the steepest rise near a note is often not its attack: a lower floor.
    const bool from_song = e.run.err.find("taken from the song") != std::string::npos;
    if (onsets >= 50) {
      EXPECT_LE(std::abs(latency), 4 * 32) << spc;
      EXPECT_GE(onset_share, from_song ? 0.5 : 0.8) << spc;
    }
    EXPECT_GE(pitch_share, 0.8) << spc;
  }
  EXPECT_GT(files_compared, 0);
}

}  // namespace

namespace {

TEST(MidiRenderTest, MidiImpliesTheKitAndReplacesNothingUnasked) {
  temp_dir dir;
  const std::string song = spc_builder().two_tones().write_to(dir.path(), "two.spc");
  const std::string out = dir.file("out");
  const exported e = export_midi(song, out);
  ASSERT_EQ(e.run.status, 0) << e.run.err;
  EXPECT_NE(e.run.err.find("two.mid: 2 notes on 2 voices, no key-on grid, 120.0 bpm, 0 key-ons "
                           "whose envelope differs from its preset's\n"),
            std::string::npos)
      << e.run.err;
  EXPECT_TRUE(std::filesystem::exists(e.sf2));
  // Both voices key the one sample on with its preset's envelope.
  const std::string manifest = read_file(out + "/samples.tsv");
  EXPECT_NE(manifest.find("\tkey-ons\tother envelopes\tADSR1\t"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\t2\t0\t00\t00\t7F\n"), std::string::npos) << manifest;
  const fluid_render all = render_midi(e.sf2, e.mid, -1, seconds + 5);
  EXPECT_TRUE(all.finished);
  EXPECT_EQ(all.note_ons, 2);

  // A second run finds the MIDI file (alone left) in the way and writes nothing.
  for (const auto& file : std::filesystem::directory_iterator(out))
    if (file.path() != e.mid) std::filesystem::remove(file.path());
  const std::string before = read_file(e.mid);
  std::filesystem::resize_file(e.mid, 10);
  const exported again = export_midi(song, out);
  EXPECT_EQ(again.run.status, 1);
  EXPECT_NE(again.run.err.find(e.mid + " already exists"), std::string::npos) << again.run.err;
  EXPECT_FALSE(std::filesystem::exists(e.sf2));
  EXPECT_EQ(std::filesystem::file_size(e.mid), 10u);
  EXPECT_EQ(quorlin({"--export", out, "--midi", "--force", "--played", "--seconds", "12", song}).status, 0);
  EXPECT_EQ(read_file(e.mid), before);

  const run_result alone = quorlin({"--midi", song});
  EXPECT_EQ(alone.status, 2);
  EXPECT_NE(alone.err.find("--midi goes with --export"), std::string::npos) << alone.err;
}

}  // namespace
