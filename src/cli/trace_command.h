// quorlin --trace: what each file's song keys on and off, and when, as text
// or JSON. No GTK.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "song_trace.h"

typedef struct _JsonBuilder JsonBuilder;

// "FILE: traced 185.0 s of the song (ended by time), 48 key-ons", the line
// every command that traces writes to standard error; it adds how many
// key-ons were of samples the image's directory does not list. Any thread.
std::string trace_summary_line(const std::string& path, const song_trace& trace,
                               int unlisted_key_ons);

// Adds the trace's summary as a JSON object: {"seconds", "key_ons",
// "unlisted_key_ons", "ended"}. Any thread.
void json_add_trace_summary(JsonBuilder* builder, const song_trace& trace,
                            int unlisted_key_ons);

// Traces `image` for song_length_of(image, seconds), says so on standard
// error (with the length's warning, if any), and returns the trace with what it plays of the image's samples.
// Any thread.
struct traced_song {
  song_trace trace;
  std::array<sample_play, 256> plays;
  int unlisted_key_ons = 0;
};
traced_song trace_and_report(const std::string& path, const spc_format& image,
                             std::optional<double> seconds);

// Per file, a header line and one tab-separated line per event; with several
// files each block comes after a "==> FILE <==" line, blocks apart by a blank
// line. With `json`, one JSON document for all files instead. Key-ons and
// key-offs only, or with `all_events` the pitch, volume and envelope
// changes too. `seconds` as song_length_of takes it. Returns the exit
// status: 0, or 1 when any file failed. Main thread only.
int run_trace_command(const std::vector<std::string>& files, std::optional<double> seconds,
                      bool json, bool all_events = false);

// "on", "off", "pitch", "volume" or "envelope". Any thread.
const char* trace_event_text(trace_event_kind kind);
