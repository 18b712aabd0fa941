#include "voices.h"

std::array<voice_state, dsp_voice_count> read_voices(const spc_format& spc) {
  const u8* dsp = spc.dsp_registers;
  std::array<voice_state, dsp_voice_count> voices{};
  for (int v = 0; v < dsp_voice_count; ++v) {
    const u8 bit = static_cast<u8>(1u << v);
    voice_state& s = voices[v];
    s.voice = v;
    s.source = dsp_voice_reg(spc, v, v_source);
    s.vol_left = static_cast<std::int8_t>(dsp_voice_reg(spc, v, v_vol_left));
    s.vol_right = static_cast<std::int8_t>(dsp_voice_reg(spc, v, v_vol_right));
    s.pitch = static_cast<u16>((dsp_voice_reg(spc, v, v_pitch_low) |
                                dsp_voice_reg(spc, v, v_pitch_high) << 8) & 0x3FFF);
    s.rate_hz = s.pitch * 32000.0 / 0x1000;
    s.adsr1 = dsp_voice_reg(spc, v, v_adsr1);
    s.adsr2 = dsp_voice_reg(spc, v, v_adsr2);
    s.gain = dsp_voice_reg(spc, v, v_gain);
    s.envx = dsp_voice_reg(spc, v, v_envx);
    s.outx = dsp_voice_reg(spc, v, v_outx);
    s.keyed_on = dsp[r_key_on] & bit;
    s.echo = dsp[r_echo_on] & bit;
    s.noise = dsp[r_noise_on] & bit;
    s.pitch_mod = v > 0 && (dsp[r_pitch_mod] & bit);
  }
  return voices;
}

std::vector<int> voices_using_source(const spc_format& spc, int source) {
  std::vector<int> users;
  for (int v = 0; v < dsp_voice_count; ++v) {
    if (dsp_voice_reg(spc, v, v_source) == source) users.push_back(v);
  }
  return users;
}
