// A sample's tuning in the command line's JSON (--list --json). No GTK.
#pragma once

#include "sample_tuning.h"

typedef struct _JsonBuilder JsonBuilder;

// Adds "tuning": null for a sample the song never plays, else its root
// (MIDI note and name), fine tune in cents, method, confidence, the notes
// played, their spread in cents, the first key-on's envelope registers, the
// key-ons of another envelope and the kit's preset of entry `srcn` (bank
// and program). Any thread.
void json_add_tuning(JsonBuilder* builder, const sample_instrument* instrument, int srcn);
