// The kit files as samplers read them: the SoundFont through FluidSynth
// (rendered offline: tuned at the root key, looping past the sample's end),
// the SFZ's opcodes and the AddMusicK line.
#include <fluidsynth.h>
#include <json-glib/json-glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>

#include "amk_instruments.h"
#include "export_command.h"
#include "kit_export.h"
#include "tuning_json.h"
#include "brr.h"
#include "brr_encode.h"
#include "pitch_detect.h"
#include "sf2_file.h"
#include "sfz_file.h"
#include "spc_builder.h"
#include "tuning.h"

namespace {

constexpr double tau = 2 * M_PI;
constexpr int render_rate = 32000;

// A sine sample at `hz` (a short attack pass, then a loop of whole periods
// as near `hz` as the block grid allows), tuned from its own pitch.
kit_sample sine_sample(int srcn, double hz, int loop_blocks, key_on_envelope envelope) {
  spc_builder image;
  put_brr_wave(image, srcn, 0x1000, 2 + loop_blocks,
               [hz](int i) { return 0.6 * std::sin(tau * hz * i / 32000); }, 2);
  const brr_sample sample = brr_decode_chain(image.image(), 0x1000, 0x1000 + 18);
  kit_sample s;
  s.srcn = srcn;
  s.name = "song " + std::to_string(srcn + 1);
  s.wav_name = "song-" + std::to_string(srcn + 1) + ".wav";
  s.brr_name = "song-" + std::to_string(srcn + 1) + ".brr";
  s.pcm = playable_pcm(image.image(), sample);
  s.instrument = {tune_sample(detect_own_pitch(s.pcm), {}), envelope};
  return s;
}

// Frequency of a tone from its rising zero crossings (interpolated), over
// x[first, last).
double measured_hz(const std::vector<float>& x, std::size_t first, std::size_t last) {
  float peak = 0;
  for (std::size_t i = first; i < last; ++i) peak = std::max(peak, std::abs(x[i]));
  // A crossing counts only after a dip well below zero: the samples' 4-bit
  // steps wobble around it.
  double first_crossing = -1, last_crossing = -1;
  int crossings = 0;
  bool armed = false;
  for (std::size_t i = first; i + 1 < last; ++i) {
    if (x[i] < -0.5f * peak) armed = true;
    if (armed && x[i] < 0 && x[i + 1] >= 0) {
      armed = false;
      const double at = double(i) + x[i] / (x[i] - x[i + 1]);
      if (first_crossing < 0) first_crossing = at;
      else ++crossings;
      last_crossing = at;
    }
  }
  return crossings > 0 ? crossings * render_rate / (last_crossing - first_crossing) : 0.0;
}

double rms(const std::vector<float>& x, std::size_t first, std::size_t count) {
  double sum = 0;
  for (std::size_t i = first; i < first + count; ++i) sum += double(x[i]) * x[i];
  return std::sqrt(sum / double(count));
}

struct settings_free {
  void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};
struct synth_free {
  void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
};

// Loads `sf2` into a fresh FluidSynth (no audio driver), plays `key` on
// program `program` and renders `seconds` of its left channel.
std::vector<float> render(const std::string& sf2, int program, int key, double seconds) {
  // A bank has no drum kit (bank 128): FluidSynth's warning says so, and only that.
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  std::unique_ptr<fluid_settings_t, settings_free> settings(new_fluid_settings());
  fluid_settings_setnum(settings.get(), "synth.sample-rate", render_rate);
  fluid_settings_setint(settings.get(), "synth.reverb.active", 0);
  fluid_settings_setint(settings.get(), "synth.chorus.active", 0);
  std::unique_ptr<fluid_synth_t, synth_free> synth(new_fluid_synth(settings.get()));
  const int font = fluid_synth_sfload(synth.get(), sf2.c_str(), 1);
  if (font == FLUID_FAILED) return {};
  if (fluid_synth_program_select(synth.get(), 0, font, 0, program) != FLUID_OK) return {};
  fluid_synth_noteon(synth.get(), 0, key, 127);
  const int frames = static_cast<int>(seconds * render_rate);
  std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
  fluid_synth_write_float(synth.get(), frames, left.data(), 0, 1, right.data(), 0, 1);
  return left;
}

std::string write_bank(const temp_dir& dir, const std::vector<kit_sample>& samples) {
  std::string failure;
  const std::vector<u8> bytes = sf2_file_bytes("song", samples, failure);
  EXPECT_FALSE(bytes.empty()) << failure;
  const std::string path = dir.file("song.sf2");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

TEST(SoundFont, FluidSynthPlaysEachSampleInTuneAndHoldsItsLoop) {
  const key_on_envelope held{0x8F, 0xE0, 0};  // immediate attack, full sustain, no fall
  // 261.63 Hz (C4) over 107 loop blocks; 440 Hz (A4) over 50; 1000 Hz,
  // its loop one period (B5 +21 cents).
  const std::vector<kit_sample> samples = {sine_sample(0, 261.63, 107, held),
                                           sine_sample(5, 440.0, 50, held),
                                           sine_sample(9, 1000.0, 2, held)};
  temp_dir dir;
  const std::string path = write_bank(dir, samples);
  for (const kit_sample& s : samples) {
    SCOPED_TRACE(s.name);
    const int root = s.instrument.tuning.root_key();
    // Two seconds: far longer than any of the samples (the longest is 0.06 s).
    const std::vector<float> out = render(path, s.srcn, root, 2.0);
    ASSERT_FALSE(out.empty()) << "FluidSynth could not load or select the preset";
    const double hz = measured_hz(out, 16000, out.size());
    // The root key sounds the root's own pitch: the sample's, less its fine tune.
    const double key_hz = 440.0 * std::exp2((root - 69) / 12.0);
    const double own_hz = key_hz * std::exp2(s.instrument.tuning.fine_tune_cents() / 1200.0);
    EXPECT_NEAR(1200 * std::log2(hz / key_hz), 0.0, 5.0) << "own pitch " << own_hz << " Hz";
    // Still sounding at the end, as loud as early on.
    EXPECT_GT(rms(out, out.size() - 8000, 8000), 0.7 * rms(out, 4000, 8000));
  }
}

TEST(SoundFont, LoopsGetGuardFramesAndALengthSamplersAccept) {
  looped_pcm one_block;
  for (int i = 0; i < 16; ++i) one_block.pcm.push_back(static_cast<std::int16_t>(i * 100));
  one_block.loop_start = 0;
  const sf2_frames frames = sf2_frames_for(one_block);
  EXPECT_GE(frames.loop_start, 8u);
  EXPECT_GE(frames.loop_end - frames.loop_start, 32u);
  EXPECT_EQ((frames.loop_end - frames.loop_start) % 16, 0u);
  ASSERT_GE(frames.pcm.size(), frames.loop_end + 8);
  // Every frame from the loop on repeats with the loop's period.
  for (std::size_t i = frames.loop_start; i < frames.pcm.size(); ++i)
    EXPECT_EQ(frames.pcm[i], one_block.pcm[i % 16]) << "frame " << i;
}

TEST(KitText, SfzAndAddMusicKLinesCarryTheTuningAndEnvelope) {
  kit_sample s = sine_sample(0x1A - 1, 1000.0, 2, {0x8F, 0xE0, 0x00});
  s.name = "song 1A";
  s.wav_name = "song-1A.wav";
  s.brr_name = "song-1A.brr";
  const std::string sfz = sfz_text("song", {s});
  EXPECT_NE(sfz.find("sample=song-1A.wav"), std::string::npos);
  EXPECT_NE(sfz.find("pitch_keycenter=83 tune=-21"), std::string::npos) << sfz;
  // The WAV loops its last 32 frames: SFZ's end is the last frame played.
  const std::size_t size = s.pcm.pcm.size();
  EXPECT_NE(sfz.find("loop_mode=loop_continuous loop_start=" + std::to_string(size - 32) +
                     " loop_end=" + std::to_string(size - 1)),
            std::string::npos)
      << sfz;
  EXPECT_NE(sfz.find("ampeg_sustain=100"), std::string::npos);

  const std::string amk = amk_instruments_text("song", {s});
  const amk_tuning t = amk_tuning_for_root(s.instrument.tuning.root);
  char line[64];
  std::snprintf(line, sizeof line, "\"song-1A.brr\" $8F $E0 $00 $%02X $%02X", t.multiplier,
                t.fraction);
  EXPECT_NE(amk.find(line), std::string::npos) << amk;
}

std::uint32_t u32_at(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<u8>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

TEST(ExportInstruments, WritesTheKitBesideTunedWavsAndNeverOverwrites) {
  // Entry 0 a 1000 Hz one-period loop the song keys on at 0x1000 with an
  // ADSR envelope; entry 1 the same, never played.
  spc_builder image;
  const u16 second = put_brr_wave(image, 0, 0x1000, 4, [](int i) { return 0.6 * std::sin(tau * i / 32); }, 2);
  put_brr_wave(image, 1, second, 4, [](int i) { return 0.6 * std::sin(tau * i / 32); }, 2);
  const spc_format spc = song_of_pitches(image, {0x1000}, 0x8F, 0xE0, 0x00);
  temp_dir dir;
  const std::string path = dir.file("song.spc");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(&spc), sizeof spc);
  const std::string out = dir.file("out");
  export_options options;
  options.instruments = true;
  ASSERT_EQ(run_export_command(out, options, {path}), 0);

  // The song plays it at 0x1000 only: that pitch is its key, B5, in tune.
  const std::string wav = file_text(out + "/song-01.wav");
  const std::size_t smpl = wav.find("smpl");
  ASSERT_NE(smpl, std::string::npos);
  EXPECT_EQ(u32_at(wav, smpl + 8 + 12), 83u);  // unity note
  EXPECT_EQ(u32_at(wav, smpl + 8 + 16), 0u);   // pitch fraction
  const std::string manifest = file_text(out + "/samples.tsv");
  EXPECT_NE(manifest.find("\troot\tfine tune\tmethod\tconfidence\tplayed"), std::string::npos);
  EXPECT_NE(manifest.find("\tB5\t+0\tloop period\t1.00\tB5-B5\t"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\t8F\tE0\t00\n"), std::string::npos) << manifest;

  const std::string sfz = file_text(out + "/song.sfz");
  EXPECT_NE(sfz.find("sample=song-01.wav"), std::string::npos);
  EXPECT_EQ(sfz.find("song-02.wav"), std::string::npos) << "only played samples become instruments";
  EXPECT_NE(file_text(out + "/song-instruments.txt").find("\"song-01.brr\" $8F $E0 $00"),
            std::string::npos);
  EXPECT_FALSE(render(out + "/song.sf2", 0, 83, 0.2).empty());

  // Again without --force: the kit is in the way, so nothing changes.
  const auto before = std::filesystem::last_write_time(out + "/song.sf2");
  std::filesystem::remove(out + "/song-01.wav");
  EXPECT_EQ(run_export_command(out, options, {path}), 1);
  EXPECT_FALSE(std::filesystem::exists(out + "/song-01.wav"));
  EXPECT_EQ(std::filesystem::last_write_time(out + "/song.sf2"), before);
}

// The preset FluidSynth finds at bank:program of `sf2`, by name; "" when
// there is none.
std::string preset_name(const std::string& sf2, int bank, int program) {
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  std::unique_ptr<fluid_settings_t, settings_free> settings(new_fluid_settings());
  std::unique_ptr<fluid_synth_t, synth_free> synth(new_fluid_synth(settings.get()));
  const int id = fluid_synth_sfload(synth.get(), sf2.c_str(), 0);
  fluid_sfont_t* font = id == FLUID_FAILED ? nullptr : fluid_synth_get_sfont_by_id(synth.get(), id);
  fluid_preset_t* preset = font ? fluid_sfont_get_preset(font, bank, program) : nullptr;
  return preset ? fluid_preset_get_name(preset) : "";
}

TEST(ExportInstruments, SrcnsFrom0x80OnTakeTheNextBankInEveryKitFileAndListing) {
  // The snapshot keys on entry 0x00 on voice 0 and entry 0x80 on voice 1;
  // the program waits.
  spc_builder image;
  const auto sine = [](int i) { return 0.6 * std::sin(tau * i / 32); };
  put_brr_wave(image, 0x00, 0x1000, 4, sine, 2);
  put_brr_wave(image, 0x80, 0x2000, 4, sine, 2);
  image.aram(0x0700, {0x2F, 0xFE}).cpu(0x0700);  // BRA *
  for (const int voice : {0, 1}) {
    const int base = voice * 0x10;
    image.dsp(base + 0x00, 0x40).dsp(base + 0x01, 0x40).dsp(base + 0x03, 0x10);
    image.dsp(base + 0x04, voice == 0 ? 0x00 : 0x80).dsp(base + 0x05, 0x8F).dsp(base + 0x06, 0xE0);
  }
  image.dsp(0x0C, 0x7F).dsp(0x1C, 0x7F).dsp(0x6C, 0x20).dsp(0x4C, 0x03);
  temp_dir dir;
  const std::string path = image.write_to(dir.path(), "song.spc");
  const std::string out = dir.file("out");
  export_options options;
  options.instruments = true;
  ASSERT_EQ(run_export_command(out, options, {path}, false, 1.0), 0);

  // Two presets, told apart by bank, as FluidSynth reads them.
  EXPECT_EQ(preset_name(out + "/song.sf2", 0, 0), "song 01");
  EXPECT_EQ(preset_name(out + "/song.sf2", 1, 0), "song 81");

  // The SFZ: one group per bank, programs within 0 ... 127.
  const std::string sfz = file_text(out + "/song.sfz");
  const std::size_t bank0 = sfz.find("<group>\nlocc0=0 hicc0=0\n");
  const std::size_t bank1 = sfz.find("<group>\nlocc0=1 hicc0=1\n");
  ASSERT_NE(bank0, std::string::npos) << sfz;
  ASSERT_NE(bank1, std::string::npos) << sfz;
  const std::size_t second = sfz.find("sample=song-81.wav\nloprog=0 hiprog=0\n");
  EXPECT_GT(sfz.find("sample=song-01.wav\nloprog=0 hiprog=0\n"), bank0);
  EXPECT_LT(sfz.find("sample=song-01.wav"), bank1);
  EXPECT_NE(second, std::string::npos) << sfz;
  EXPECT_GT(second, bank1);

  // The manifest and the JSON name the same bank and program.
  const std::string manifest = file_text(out + "/samples.tsv");
  EXPECT_NE(manifest.find("\twritten\tbank\tprogram\troot\t"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("song-81.wav song-81.brr\t1\t0\t"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("song-01.wav song-01.brr\t0\t0\t"), std::string::npos) << manifest;
  g_autoptr(JsonBuilder) b = json_builder_new();
  json_builder_begin_object(b);
  sample_instrument instrument{};
  instrument.other_envelopes = 3;
  json_add_tuning(b, &instrument, 0x80);
  json_builder_end_object(b);
  g_autoptr(JsonNode) root = json_builder_get_root(b);
  JsonObject* tuning = json_object_get_object_member(json_node_get_object(root), "tuning");
  EXPECT_EQ(json_object_get_int_member(tuning, "bank"), 1);
  EXPECT_EQ(json_object_get_int_member(tuning, "program"), 0);
  EXPECT_EQ(json_object_get_int_member(tuning, "other_envelopes"), 3);
}

}  // namespace

namespace {

TEST(ExportInstruments, SamplesTheDriverListsAfterTheSnapshotGetPresetsFromBank2) {
  // The snapshot's directory (page 0) lists nothing; the program writes
  // entry 0 (a 1000 Hz loop at 0x1000) and only then keys on voice 0.
  spc_builder image;
  image.dir_page(0x30);  // where the wave's own entry goes, a page the DSP never reads
  put_brr_wave(image, 0x00, 0x1000, 4, [](int i) { return 0.6 * std::sin(tau * i / 32); }, 2);
  image.dsp(0x5D, 0x00);
  image.aram(0x0700, {0x8F, 0x00, 0x00, 0x8F, 0x10, 0x01,  // MOV $00,#$00; MOV $01,#$10
                      0x8F, 0x12, 0x02, 0x8F, 0x10, 0x03,  // loop 0x1012
                      0x8F, 0x4C, 0xF2, 0x8F, 0x01, 0xF3,  // KON voice 0
                      0x2F, 0xFE})                         // BRA *
      .cpu(0x0700);
  image.dsp(0x00, 0x40).dsp(0x01, 0x40).dsp(0x03, 0x10).dsp(0x04, 0x00).dsp(0x05, 0x8F);
  image.dsp(0x06, 0xE0).dsp(0x0C, 0x7F).dsp(0x1C, 0x7F).dsp(0x6C, 0x20);
  temp_dir dir;
  const std::string path = image.write_to(dir.path(), "song.spc");
  const std::string out = dir.file("out");
  export_options options;
  options.instruments = options.midi = true;
  ASSERT_EQ(run_export_command(out, options, {path}, false, 1.0), 0);

  // Its preset is bank 2, program 0, named after its SRCN; its WAV is tuned
  // from the song's bytes (the 1000 Hz loop: B5) and the SFZ points at it.
  EXPECT_EQ(preset_name(out + "/song.sf2", 2, 0).rfind("song SRCN 0x00", 0), 0u);
  const std::string wav = file_text(out + "/song song 00.wav");
  const std::size_t smpl = wav.find("smpl");
  ASSERT_NE(smpl, std::string::npos);
  EXPECT_EQ(u32_at(wav, smpl + 8 + 12), 83u);
  EXPECT_TRUE(std::filesystem::exists(out + "/song song 00.brr"));
  const std::string sfz = file_text(out + "/song.sfz");
  EXPECT_NE(sfz.find("locc0=2 hicc0=2\n\n// song SRCN 0x00 (from the song): Root B5"),
            std::string::npos) << sfz;
  EXPECT_NE(sfz.find("sample=song song 00.wav\nloprog=0 hiprog=0\n"), std::string::npos) << sfz;
  // The note picks it: bank select 2, program 0.
  const std::string midi = file_text(out + "/song.mid");
  EXPECT_NE(midi.find(std::string("\xB0\x00\x02", 3)), std::string::npos);
  EXPECT_NE(midi.find(std::string("\xC0\x00", 2)), std::string::npos);
}

}  // namespace
