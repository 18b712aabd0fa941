#include "play_button.h"

#include <cstring>

#include "playback.h"

namespace {

struct play_button_state {
  std::shared_ptr<const spc_format> image;
};
play_button_state button_state;

}  // namespace

void play_button_set_image(std::shared_ptr<const spc_format> image) {
  button_state.image = std::move(image);
}

void play_spc_shim(GtkWidget* widget, gpointer /*data*/) noexcept {
  GtkButton* button = GTK_BUTTON(widget);
  const gchar* label = gtk_button_get_label(button);
  if (label != nullptr && std::strcmp(label, "Play") == 0) {
    play_spc(button_state.image);
    gtk_button_set_label(button, "Stop");
  } else {
    stop_spc();
    gtk_button_set_label(button, "Play");
  }
}
