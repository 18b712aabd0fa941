#include "midi_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "file_publish.h"
#include "id666.h"
#include "instrument_kit.h"
#include "kit_export.h"
#include "song_midi.h"

namespace {

// The kit's samples of `path` as the MIDI file plays them: the ones the
// export wrote (`names`), each with its tuning, envelope, start and length.
std::map<int, midi_instrument> midi_instruments(const export_tunings& tunings,
                                                const std::map<int, std::string>& names,
                                                const spc_format& spc, const std::string& path) {
  const song_instruments instruments = kit_instruments_of(tunings, names, path);
  const auto no_file = [](int, const char*) { return std::string(); };
  std::map<int, midi_instrument> out;
  for (const kit_sample& s : kit_samples_for(spc, "", instruments, no_file)) {
    const int entry = (spc.dsp_registers[spc_dsp_dir] << 8) + 4 * s.srcn;
    const u16 start = s.instrument.from_song
                          ? s.instrument.from_song->start
                          : u16(spc.aram[entry & 0xFFFF] | spc.aram[(entry + 1) & 0xFFFF] << 8);
    out[s.srcn] = {s.instrument.tuning, s.instrument.envelope, start, s.pcm.pcm.size(),
                   s.pcm.loop_start.has_value(), s.instrument.from_song};
  }
  return out;
}

// "STEM.mid: 96 notes on 5 voices, 159.9 bpm from a key-on grid of 187.61 ms
// (coherence 0.96 over 95 onsets), ...".
std::string midi_summary(const std::string& name, const song_midi& midi, int from_song) {
  char tempo[160];
  if (midi.grid.found)
    std::snprintf(tempo, sizeof tempo,
                  "%.1f bpm from a key-on grid of %.2f ms (coherence %.2f over %d onsets)",
                  midi.grid.beats_per_minute(), midi.grid.step_milliseconds(), midi.grid.fit,
                  midi.grid.onsets);
  else if (midi.tempo_changes > 0)
    std::snprintf(tempo, sizeof tempo,
                  "no key-on grid over the whole song, %d tempo changes from a grid per %d s",
                  midi.tempo_changes, int(tempo_section_samples / dsp_sample_rate));
  else
    std::snprintf(tempo, sizeof tempo, "no key-on grid, %.1f bpm", midi.grid.beats_per_minute());
  std::string text = name + ": " + std::to_string(midi.notes) + " notes on " +
                     std::to_string(midi.voices) + " voices, " + tempo + ", " +
                     std::to_string(midi.envelopes_differing) +
                     " key-ons whose envelope differs from its preset's";
  if (midi.surround_volumes > 0)
    text += ", " + std::to_string(midi.surround_volumes) +
            " surround volumes played as their magnitude";
  if (from_song > 0)
    text += ", " + std::to_string(from_song) +
            (from_song == 1 ? " instrument" : " instruments") +
            " taken from the song's audio RAM (not in the snapshot's table)";
  if (midi.key_ons_without_sample > 0)
    text += ", " + std::to_string(midi.key_ons_without_sample) + " key-ons of no kit sample";
  return text;
}

}  // namespace

bool midi_export::put(const std::string& stem, const std::map<int, std::string>& names,
                      const spc_format& spc, const std::string& path, bool write,
                      std::string& failure) {
  written_.clear();
  written_path_.clear();
  const auto trace = traces_.find(path);
  if (trace == traces_.end()) return true;
  std::map<int, midi_instrument> instruments = midi_instruments(tunings_, names, spc, path);
  if (instruments.empty()) return true;  // no kit: nothing to play the notes
  const std::string file_path = folder_ + "/" + stem + ".mid";
  if (!write) {
    struct stat st;
    if (!force_ && lstat(file_path.c_str(), &st) == 0) {
      failure = file_path + " already exists: nothing was written";
      return false;
    }
    return true;
  }
  const int from_song = int(std::count_if(instruments.begin(), instruments.end(),
                                           [](const auto& i) { return bool(i.second.from_song); }));
  const song_midi midi = make_song_midi(
      {trace->second, std::move(instruments), id666_song_title(spc), id666_game_title(spc)});
  const int error = publish_bytes(file_path, midi.bytes, force_, publishing_);
  if (error == 0) {
    ++files_written_;
    written_ = midi_summary(stem + ".mid", midi, from_song);
    written_path_ = file_path;
  } else if (publish_error_stops_run(error)) {
    failure = publish_failure_text(file_path, error);
    return false;
  } else {
    files_failed_.push_back(publish_failure_text(file_path, error));
  }
  return true;
}
