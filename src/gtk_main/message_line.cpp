// A GtkInfoBar rather than a dialog: a failed load must not stop the user
// from opening the next file.

#include "message_line.h"

#include <cstdio>

namespace {

// The bar's widgets travel with the window, so that any part of it, or a
// dialog over it, can reach them without being handed them.
constexpr char bar_key[] = "quorlin-message-line";

message_line_widgets* bar_of(GtkWidget* within) {
  if (!within) return nullptr;
  GtkWidget* top = gtk_widget_get_toplevel(within);
  for (int hops = 0; top && hops < 2; ++hops) {
    if (auto* bar = static_cast<message_line_widgets*>(g_object_get_data(G_OBJECT(top), bar_key)))
      return bar;
    top = GTK_IS_WINDOW(top) ? GTK_WIDGET(gtk_window_get_transient_for(GTK_WINDOW(top))) : nullptr;
  }
  return nullptr;
}

void on_response(GtkInfoBar* info_bar, gint, gpointer) noexcept {
  gtk_widget_hide(GTK_WIDGET(info_bar));
}

}  // namespace

GtkWidget* message_line_new(GtkWindow* window) {
  auto* w = new message_line_widgets{};
  g_object_set_data_full(G_OBJECT(window), bar_key, w,
                         [](gpointer data) { delete static_cast<message_line_widgets*>(data); });
  w->info_bar = gtk_info_bar_new();
  gtk_info_bar_set_show_close_button(GTK_INFO_BAR(w->info_bar), TRUE);
  w->label_message = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(w->label_message), 0.0f);
  gtk_label_set_selectable(GTK_LABEL(w->label_message), TRUE);
  gtk_label_set_ellipsize(GTK_LABEL(w->label_message), PANGO_ELLIPSIZE_MIDDLE);
  gtk_container_add(GTK_CONTAINER(gtk_info_bar_get_content_area(GTK_INFO_BAR(w->info_bar))),
                    w->label_message);
  g_signal_connect(w->info_bar, "response", G_CALLBACK(on_response), nullptr);
  // Shown by a message only, whatever gtk_widget_show_all does to the window.
  gtk_widget_set_no_show_all(w->info_bar, TRUE);
  gtk_widget_show(w->label_message);
  return w->info_bar;
}

void message_line_show(GtkWidget* within, message_kind kind, const std::string& text) {
  const message_line_widgets* w = bar_of(within);
  if (!w) return;
  gtk_info_bar_set_message_type(GTK_INFO_BAR(w->info_bar),
                                kind == message_kind::error ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO);
  gtk_label_set_text(GTK_LABEL(w->label_message), text.c_str());
  gtk_widget_set_tooltip_text(w->label_message, text.c_str());
  gtk_widget_show(w->info_bar);
}

void report_to_standard_error(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
}

void message_line_report(GtkWidget* within, const std::string& text, const report_sink& report) {
  report(text);
  message_line_show(within, message_kind::error, text);
}

void message_line_clear(GtkWidget* within) {
  if (const message_line_widgets* w = bar_of(within)) gtk_widget_hide(w->info_bar);
}

const message_line_widgets* message_line_get_widgets(GtkWidget* within) { return bar_of(within); }
