// The window's message line: one line of text in a bar above the
// information panel that blocks nothing, until the next load or a click on
// its close button. Failures that go to standard error land here too, so a
// desktop user sees them. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <string>

enum class message_kind { info, error };

// Builds the bar, hidden until a message comes. Call once. GTK main thread only.
GtkWidget* message_line_new();

// Shows `text` as the one line, replacing any earlier one; does nothing
// before message_line_new. GTK main thread only.
void message_line_show(message_kind kind, const std::string& text);

// Writes `text` and a line feed to standard error and shows it as an error.
// GTK main thread only.
void message_line_report(const std::string& text);

// Hides the bar. GTK main thread only.
void message_line_clear();

// The bar and its label, for tests. GTK main thread only.
struct message_line_widgets {
  GtkWidget* info_bar;
  GtkWidget* label_message;
};
const message_line_widgets& message_line_get_widgets();
