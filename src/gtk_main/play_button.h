// The main window's Play/Stop button. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "spc.h"

// The image a click on "Play" plays from then on (null: none). Main thread only.
void play_button_set_image(std::shared_ptr<const spc_format> image);

// "clicked" handler of the Play button. Label "Play": plays the image last
// set from its start and relabels the button "Stop". Any other label: stops
// playback and relabels it "Play". The label changes whether or not the
// sound could start (failures go to stdout/stderr). Main thread only.
void play_spc_shim(GtkWidget* widget, gpointer data) noexcept;
