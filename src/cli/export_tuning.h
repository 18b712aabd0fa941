// The command line's part of --export --instruments and --list --json: the
// files traced (saying so on standard error) and tuned, and a sample's
// tuning as JSON. No GTK.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kit_export.h"

typedef struct _JsonBuilder JsonBuilder;

// Traces every readable file for `seconds` (none: as long as
// song_length_of says) and tunes the samples its song keys on;
// with `pool_identical` (--unique) identical samples share their key-ons
// across the files. Files that can't be read are left for the export to
// report. With `played` (--played), also the sample numbers each file's song
// keys on (none for a file that can't be read), from the same traces.
// Main thread only.
export_tunings tune_export_files(const std::vector<std::string>& files, bool pool_identical,
                                 std::optional<double> seconds = std::nullopt,
                                 std::vector<std::vector<int>>* played = nullptr,
                                 std::map<std::string, song_trace>* kept_traces = nullptr);

// Adds "tuning": null for a sample the song never plays, else its root
// (MIDI note and name), fine tune in cents, method, confidence, the notes
// played, their spread in cents, the first key-on's envelope registers, the
// key-ons of another envelope and the kit's preset of entry `srcn` (bank
// and program). Any thread.
void json_add_tuning(JsonBuilder* builder, const sample_instrument* instrument, int srcn);
