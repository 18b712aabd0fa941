// A GtkInfoBar rather than a dialog: a failed load must not stop the user
// from opening the next file.

#include "message_line.h"

#include <cstdio>

namespace {

struct message_line_state {
  message_line_widgets widgets{};
};
message_line_state line;

void on_response(GtkInfoBar*, gint, gpointer) noexcept { message_line_clear(); }

}  // namespace

GtkWidget* message_line_new() {
  line = {};
  message_line_widgets& w = line.widgets;
  w.info_bar = gtk_info_bar_new();
  gtk_info_bar_set_show_close_button(GTK_INFO_BAR(w.info_bar), TRUE);
  w.label_message = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(w.label_message), 0.0f);
  gtk_label_set_selectable(GTK_LABEL(w.label_message), TRUE);
  gtk_label_set_ellipsize(GTK_LABEL(w.label_message), PANGO_ELLIPSIZE_MIDDLE);
  gtk_container_add(GTK_CONTAINER(gtk_info_bar_get_content_area(GTK_INFO_BAR(w.info_bar))),
                    w.label_message);
  g_signal_connect(w.info_bar, "response", G_CALLBACK(on_response), nullptr);
  // Shown by a message only, whatever gtk_widget_show_all does to the window.
  gtk_widget_set_no_show_all(w.info_bar, TRUE);
  gtk_widget_show(w.label_message);
  return w.info_bar;
}

void message_line_show(message_kind kind, const std::string& text) {
  const message_line_widgets& w = line.widgets;
  if (!w.info_bar) return;
  gtk_info_bar_set_message_type(GTK_INFO_BAR(w.info_bar),
                                kind == message_kind::error ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO);
  gtk_label_set_text(GTK_LABEL(w.label_message), text.c_str());
  gtk_widget_set_tooltip_text(w.label_message, text.c_str());
  gtk_widget_show(w.info_bar);
}

void report_to_standard_error(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
}

void message_line_report(const std::string& text, const report_sink& report) {
  report(text);
  message_line_show(message_kind::error, text);
}

void message_line_clear() {
  if (line.widgets.info_bar) gtk_widget_hide(line.widgets.info_bar);
}

const message_line_widgets& message_line_get_widgets() { return line.widgets; }
