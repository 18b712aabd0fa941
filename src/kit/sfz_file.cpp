#include "sfz_file.h"

#include <cmath>
#include <cstdio>

#include "dsp_envelope.h"

namespace {

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", value);
  return text;
}

}  // namespace

std::string sfz_text(const std::string& title, const std::vector<kit_sample>& samples) {
  std::string text = "// " + title +
                     ": the played samples, tuned, with the envelope of their first key-on.\n"
                     "// Every region spans the keyboard; as in the SoundFont, bank select\n"
                     "// (controller 0: SRCN / 128) and program (SRCN % 128) pick the sample.\n";
  int group_bank = -1;
  for (const kit_sample& s : samples) {
    // Samples come in SRCN order: one group per bank, begun at its first.
    const kit_preset preset = kit_preset_of(s.srcn);
    if (preset.bank != group_bank) {
      group_bank = preset.bank;
      text += "\n<group>\nlocc0=" + std::to_string(group_bank) +
              " hicc0=" + std::to_string(group_bank) + "\n";
    }
    const sample_tuning& t = s.instrument.tuning;
    const sampler_envelope env = sampler_envelope_from(s.instrument.envelope);
    text += "\n// " + s.name + ": " + tuning_text(t) + "\n<region>\n";
    text += "sample=" + s.wav_name + "\n";
    text += "loprog=" + std::to_string(preset.program) +
            " hiprog=" + std::to_string(preset.program) + "\n";
    text += "lokey=0 hikey=127\n";
    // tune= is applied on playback: take back what the sample sounds above its key.
    text += "pitch_keycenter=" + std::to_string(t.root_key()) +
            " tune=" + std::to_string(-t.fine_tune_cents()) + "\n";
    if (s.pcm.loop_start) {
      text += "loop_mode=loop_continuous loop_start=" + std::to_string(*s.pcm.loop_start) +
              " loop_end=" + std::to_string(s.pcm.pcm.size() - 1) + "\n";
    } else {
      text += "loop_mode=no_loop\n";
    }
    if (env.level < 1.0)
      text += "volume=" + number(env.level > 0 ? 20.0 * std::log10(env.level) : -144.0) + "\n";
    text += "ampeg_attack=" + number(env.attack_seconds) + " ampeg_decay=" +
            number(env.decay_seconds) + " ampeg_sustain=" + number(env.sustain_level * 100.0) +
            " ampeg_release=" + number(env.release_seconds) + "\n";
    if (!env.approximation.empty()) text += "// envelope: " + env.approximation + "\n";
  }
  return text;
}
