#include "play_button.h"

#include <cstring>

#include "main_window.h"
#include "spc.h"

void play_spc_shim(GtkWidget* widget, gpointer /*data*/) noexcept {
  GtkButton* button = GTK_BUTTON(widget);
  const gchar* label = gtk_button_get_label(button);
  if (label != nullptr && std::strcmp(label, "Play") == 0) {
    play_spc(main_window_current_spc());
    gtk_button_set_label(button, "Stop");
  } else {
    stop_spc();
    gtk_button_set_label(button, "Play");
  }
}
