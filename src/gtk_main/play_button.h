// The main window's Play/Stop button. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

// "clicked" handler of the Play button. Label "Play": plays the main
// window's current image from its start and relabels the button "Stop".
// Any other label: stops playback and relabels it "Play". The label changes
// whether or not the sound could start (failures go to stdout/stderr).
void play_spc_shim(GtkWidget* widget, gpointer data) noexcept;
