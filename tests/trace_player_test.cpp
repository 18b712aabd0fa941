// The trace against what the player plays: libgme, with all voices but one
// muted, must keep a voice silent until the trace keys it on, and sound it
// soon after. Timer, cycle and key-on faults show here where single
// instructions cannot show them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "dsp_registers.h"
#include "openspc.h"
#include "song_trace.h"
#include "spc_builder.h"

namespace {

constexpr double traced_seconds = 30;
// A key-on sounds after the DSP's start-up delay and the attack's first step.
constexpr double sounds_within_seconds = 0.020;
// The poll a key-on waits for, and the sample it is counted at.
constexpr double silent_until_slack_seconds = 0.002;
// The player mixes without dither: a voice that does not sound changes
// nothing; one step of rounding is allowed for.
constexpr int audible = 1;

struct renderer_close {
  void operator()(OSPC_Renderer* r) const { OSPC_RendererClose(r); }
};

// Mono magnitude, one per frame, of the song with the voices in `mute` silenced.
std::vector<int> render(const spc_format& image, unsigned mute) {
  const long long frames = std::llround(traced_seconds * OSPC_SAMPLE_RATE);
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

// Seconds of the first frame where `alone` differs audibly from `none` (the
// echo buffer can hold sound from before the snapshot); -1 when never.
double first_sound(const std::vector<int>& alone, const std::vector<int>& none) {
  for (std::size_t i = 0; i < alone.size() && i < none.size(); ++i)
    if (std::abs(alone[i] - none[i]) > audible) return double(i) / OSPC_SAMPLE_RATE;
  return -1;
}

class TracePlayerTest : public testing::TestWithParam<const char*> {};

TEST_P(TracePlayerTest, VoicesStaySilentUntilTheTraceKeysThemOn) {
  const std::string path = corpus_file(GetParam());
  if (path.empty()) GTEST_SKIP() << "the SPC corpus is absent";
  std::string failure;
  const auto image = read_spc_file_quietly(path.c_str(), failure);
  ASSERT_TRUE(image) << failure;

  const song_trace trace = trace_song(*image, traced_seconds);
  const std::vector<int> none = render(*image, 0xFF);
  ASSERT_FALSE(none.empty());
  int checked = 0;
  for (int v = 0; v < dsp_voice_count; ++v) {
    if (dsp_voice_reg(*image, v, v_envx) != 0) continue;  // sounding at the snapshot
    double key_on = -1;
    bool starts_silent = false;
    for (const trace_event& e : trace.events)
      if (e.kind == trace_event_kind::key_on && e.voice == v) {
        key_on = e.seconds();
        // GAIN direct 0 or decreasing from the key-on's 0: the driver
        // raises the envelope itself later.
        starts_silent = !(e.adsr1 & 0x80) && (e.gain == 0 || (e.gain & 0xC0) == 0x80);
        break;
      }
    const double sound = first_sound(render(*image, 0xFF & ~(1u << v)), none);
    std::printf("%s voice %d: first key-on %.4f s, first sound %.4f s\n", GetParam(), v, key_on,
                sound);
    ++checked;
    if (key_on < 0) {
      EXPECT_LT(sound, 0) << "voice " << v << " sounds but the trace never keys it on";
      continue;
    }
    EXPECT_GE(sound, key_on - silent_until_slack_seconds) << "voice " << v << " sounds early";
    if (!starts_silent) {
      EXPECT_LE(sound, key_on + sounds_within_seconds) << "voice " << v << " sounds late";
    }
  }
  std::printf("%s: %d voices checked\n", GetParam(), checked);
}

INSTANTIATE_TEST_SUITE_P(Corpus, TracePlayerTest,
                         testing::Values("boldowa_minimal_empty_xid6.spc",
                                         "boldowa_org_drv_misplaced_xid6.spc", "osoumen_gtme.spc",
                                         "osoumen_sound_of_mnemon.spc", "sato_forest_01.spc"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
