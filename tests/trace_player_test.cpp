// The trace against what the player plays: libgme, with all voices but one
// muted, must keep a voice silent until the trace keys it on, and sound it
// soon after. Timer, cycle and key-on faults show here where single
// instructions cannot show them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "brr.h"
#include "dsp_registers.h"
#include "dsp_voice.h"
#include "openspc.h"
#include "song_trace.h"
#include "spc_builder.h"

namespace {

constexpr double traced_seconds = 30;
// libgme's first sound of a key-on after silence, against the trace: never
// before the latch plus the KON delay (plus this many samples), ...
constexpr std::int64_t silent_after_delay = 0;
// ... and at most this many samples after the first sample in which the
// modelled envelope and the decoded sample are both non-zero (measured on
// hand-made images: the gaussian interpolation's lag).
constexpr std::int64_t interpolation_lag = 4;
// The player mixes without dither: a voice that does not sound changes
// nothing; one step of rounding is allowed for.
constexpr int audible = 1;
// The model's first sound: a decoded sample loud enough at the key-on's
// volumes to reach this many steps of the mix (quieter ones can vanish in
// the interpolation's and the volumes' rounding).
constexpr double clearly_audible = 16;

struct renderer_close {
  void operator()(OSPC_Renderer* r) const { OSPC_RendererClose(r); }
};

// Mono magnitude, one per frame, of the song with the voices in `mute` silenced.
std::vector<int> render(const spc_format& image, unsigned mute, double seconds = traced_seconds) {
  const long long frames = std::llround(seconds * OSPC_SAMPLE_RATE);
  std::unique_ptr<OSPC_Renderer, renderer_close> renderer(
      OSPC_RendererOpen(&image, sizeof image, mute, frames, 0));
  if (!renderer) return {};
  std::vector<int> out;
  std::vector<short> buffer(8000 * 2);
  int bytes;
  while ((bytes = OSPC_RendererRun(renderer.get(), -1, buffer.data(),
                                   int(buffer.size() * sizeof(short)))) > 0)
    for (int i = 0; i < bytes / OSPC_FRAME_BYTES; ++i)
      out.push_back(std::abs(buffer[2 * i]) + std::abs(buffer[2 * i + 1]));
  return out;
}

// The samples from a voice's KON latch until it can sound: the DSP's KON
// delay (voice 0 acts in the latch's sample, the others in the next).
std::int64_t delay_end(const trace_event& on) {
  return on.sample + dsp_key_on_delay_samples + (on.voice > 0 ? 1 : 0);
}

// When the voice keyed on by `on` can first sound by the trace's model: its
// envelope above 0, and its position at the first sample of its chain (the
// chain as the image holds it) loud enough to change libgme's mix, at the
// key-on's envelope (GAIN direct, else full), volumes and the main volume.
// -1 when the model cannot say.
std::int64_t model_sound(const spc_format& image, const trace_event& on) {
  if (on.envelope_from < 0 || on.pitch == 0) return -1;
  const brr_sample chain = brr_decode_chain(image, on.start, on.loop);
  const double level = (on.adsr1 & 0x80) || (on.gain & 0x80) ? 1.0 : (on.gain & 0x7F) / 127.0;
  const double main = std::abs(std::int8_t(image.dsp_registers[r_main_vol_left])) / 128.0;
  const double gain = level * (std::abs(on.vol_left) + std::abs(on.vol_right)) / 128.0 * main;
  const auto first = std::find_if(chain.pcm.begin(), chain.pcm.end(),
                                  [&](int s) { return std::abs(s) * gain >= clearly_audible; });
  if (first == chain.pcm.end()) return -1;
  const std::int64_t k = first - chain.pcm.begin();
  const std::int64_t reached = delay_end(on) + (k * 0x1000 + on.pitch - 1) / on.pitch;
  return std::max(on.envelope_from, reached);
}

// The first frame from `from` in which `alone` differs audibly from `none`
// (the echo buffer can hold sound from before the snapshot); -1 when never.
std::int64_t first_sound_from(const std::vector<int>& alone, const std::vector<int>& none,
                              std::int64_t from) {
  for (std::size_t i = std::size_t(std::max<std::int64_t>(from, 0));
       i < alone.size() && i < none.size(); ++i)
    if (std::abs(alone[i] - none[i]) > audible) return std::int64_t(i);
  return -1;
}

// How far libgme's first sound after a key-on that follows silence lies
// from the trace's window, in samples: `early` from the latch plus the KON
// delay (negative: it sounded inside the window's silence), `late` from the
// model's first sound.
struct key_on_offsets {
  std::int64_t early = 0, late = 0;
  bool late_known = false;
};

// A voice checked after a key-on is silent this long before it.
constexpr std::int64_t silence_before = 256;

std::vector<key_on_offsets> measure_file(const spc_format& image, const song_trace& trace,
                                         const char* name) {
  const std::vector<int> none = render(image, 0xFF);
  std::vector<key_on_offsets> found;
  for (int v = 0; v < dsp_voice_count; ++v) {
    const std::vector<int> alone = render(image, 0xFF & ~(1u << v));
    std::vector<const trace_event*> ons;
    for (const trace_event& e : trace.events)
      if (e.kind == trace_event_kind::key_on && e.voice == v) ons.push_back(&e);
    const bool silent_at_snapshot = dsp_voice_reg(image, v, v_envx) == 0;
    if (ons.empty()) {
      if (silent_at_snapshot) {
        EXPECT_LT(first_sound_from(alone, none, 0), 0) << name << " voice " << v << " sounds unkeyed";
      }
      continue;
    }
    for (std::size_t i = 0; i < ons.size(); ++i) {
      const trace_event& on = *ons[i];
      // The first key-on of a voice silent at the snapshot, or one after
      // the voice's previous note has ended.
      const std::int64_t quiet_from = i == 0 ? 0 : on.sample - silence_before;
      if (i == 0 ? !silent_at_snapshot : quiet_from < ons[i - 1]->sample) continue;
      const std::int64_t sound = first_sound_from(alone, none, quiet_from);
      if (sound >= 0 && sound < on.sample) continue;  // not silent before it
      const std::int64_t next = i + 1 < ons.size() ? ons[i + 1]->sample : trace.samples;
      const std::int64_t model = model_sound(image, on);
      key_on_offsets o;
      o.early = (sound < 0 ? next : sound) - delay_end(on);
      // The model knows the key-on's values: a driver that shapes the
      // note's start itself (GAIN, volume or pitch changes) leaves it
      // blind.
      const bool shaped = std::any_of(trace.events.begin(), trace.events.end(), [&](const trace_event& e) {
        return e.voice == v &&
               (e.kind == trace_event_kind::envelope || e.kind == trace_event_kind::volume) &&
               e.sample > on.sample &&
               e.sample <= std::max(model, sound);
      });
      if (model >= 0 && model < next && !shaped) {
        o.late_known = true;
        o.late = (sound < 0 ? next : sound) - model;
      } else if (on.envelope_from < 0) {
        // The envelope never rises before the next key-on: no sound.
        EXPECT_TRUE(sound < 0 || sound >= next)
            << name << " voice " << v << " sounds at " << sound << " keyed on at " << on.sample
            << " with an envelope that stays 0";
      }
      found.push_back(o);
    }
  }
  return found;
}

TEST(TracePlayerLagTest, HandMadeVoicesSoundAtTheModelsFirstSoundPlusTheLag) {
  // A square wave keyed on in the snapshot at once, after a silent block,
  // and an octave down on voice 1. libgme's whole-sample DSP acts on every
  // voice in the latch's sample, the hardware on voices 1–7 a sample later:
  // voice 0 comes a sample later against the model.
  spc_builder at_once;
  at_once.square_wave_tone();
  spc_builder after_silence;
  after_silence.square_wave_tone().dir_entry(0, 0x0FF7, 0x1000).aram(0x0FF7, {0xC0});
  spc_builder octave_down;
  octave_down.two_tones().dsp(0x4C, 0x02);
  const struct {
    const spc_builder* image;
    std::int64_t lag;
  } cases[] = {{&at_once, interpolation_lag}, {&after_silence, interpolation_lag - 1},
               {&octave_down, interpolation_lag - 1}};
  for (const auto& c : cases) {
    const spc_format& image = c.image->image();
    const song_trace trace = trace_song(image, 0.1);
    ASSERT_FALSE(trace.events.empty());
    const trace_event& on = trace.events[0];
    const std::vector<int> none = render(image, 0xFF, 0.1);
    const std::vector<int> alone = render(image, 0xFF & ~(1u << on.voice), 0.1);
    const std::int64_t sound = first_sound_from(alone, none, 0);
    EXPECT_EQ(sound - model_sound(image, on), c.lag) << "voice " << on.voice;
    EXPECT_GE(sound - delay_end(on), 0);
  }
}

// Per corpus file, how far libgme may lie from the trace's window.
struct corpus_case {
  const char* file;
  std::int64_t early_floor = 0;                // silent until the latch + delay
  std::int64_t late_ceiling = interpolation_lag;  // sounding by the model's first sound + lag
};

class TracePlayerTest : public testing::TestWithParam<corpus_case> {};

TEST_P(TracePlayerTest, VoicesStaySilentUntilTheTraceKeysThemOn) {
  const corpus_case& c = GetParam();
  const std::string path = corpus_file(c.file);
  if (path.empty()) GTEST_SKIP() << "the SPC corpus is absent";
  std::string failure;
  const auto image = read_spc_file_quietly(path.c_str(), failure);
  ASSERT_TRUE(image) << failure;

  const song_trace trace = trace_song(*image, traced_seconds);
  const std::vector<key_on_offsets> offsets = measure_file(*image, trace, c.file);
  std::int64_t earliest = INT64_MAX, latest = INT64_MIN;
  int late_known = 0;
  for (const key_on_offsets& o : offsets) {
    earliest = std::min(earliest, o.early);
    if (!o.late_known) continue;
    ++late_known;
    latest = std::max(latest, o.late);
  }
  std::printf("%s: %zu key-ons after silence; first sound from the latch + delay: %lld samples "
              "at least; from the model's first sound: %lld at most (%d of them)\n",
              c.file, offsets.size(), (long long)(offsets.empty() ? 0 : earliest),
              (long long)(late_known ? latest : 0), late_known);
  for (const key_on_offsets& o : offsets) {
    EXPECT_GE(o.early, c.early_floor) << "a voice sounds inside its KON delay";
    if (o.late_known) {
      EXPECT_LE(o.late, c.late_ceiling) << "a voice sounds late";
    }
  }
}

// Measured against libgme's whole-sample DSP, whose envelope counters step
// in other samples than the hardware's, so that a driver reading ENVX takes
// other paths (osoumen_gtme: up to 11 samples late).
INSTANTIATE_TEST_SUITE_P(Corpus, TracePlayerTest,
                         testing::Values(corpus_case{"boldowa_minimal_empty_xid6.spc"},
                                         corpus_case{"boldowa_org_drv_misplaced_xid6.spc"},
                                         corpus_case{"osoumen_gtme.spc", 0, 11},
                                         corpus_case{"osoumen_sound_of_mnemon.spc"},
                                         corpus_case{"sato_forest_01.spc"}),
                         [](const testing::TestParamInfo<corpus_case>& info) {
                           std::string name = info.param.file;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
