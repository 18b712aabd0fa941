// The window's message line: one line of text in a bar above the
// information panel that blocks nothing, until the next load or a click on
// its close button. Failures that go to standard error land here too, so a
// desktop user sees them. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>

enum class message_kind { info, error };

// Where a report for the user's terminal goes, one line at a time, without
// its line feed: this process's standard error, or the terminal of a later
// `quorlin FILE` that handed its file to this window and waits for the
// answer. GTK main thread only.
using report_sink = std::function<void(const std::string& line)>;

// Writes `line` and a line feed to standard error. Any thread.
void report_to_standard_error(const std::string& line);

// Builds the bar of `window`, hidden until a message comes; the window owns
// it. GTK main thread only.
GtkWidget* message_line_new(GtkWindow* window);

// The functions below reach the bar of the window that holds `within` (any
// widget of it, the window itself, or a dialog over it); with none, they
// show nothing.

// Shows `text` as the one line, replacing any earlier one. GTK main thread only.
void message_line_show(GtkWidget* within, message_kind kind, const std::string& text);

// Writes `text` to `report` and shows it as an error. GTK main thread only.
void message_line_report(GtkWidget* within, const std::string& text,
                         const report_sink& report = report_to_standard_error);

// Hides the bar. GTK main thread only.
void message_line_clear(GtkWidget* within);

// The bar and its label, for tests; null before the bar is built. GTK main
// thread only.
struct message_line_widgets {
  GtkWidget* info_bar;
  GtkWidget* label_message;
};
const message_line_widgets* message_line_get_widgets(GtkWidget* within);
