// Driving the real window from tests: bounded waits on the GTK main loop,
// the file chooser and message dialogs answered from timer ticks.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "filter_panel.h"
#include "inspector_pane.h"
#include "voice_mute.h"
#include "main_window.h"

// The running test's window: built and shown on first use, destroyed by
// gui_close_window (after each test, see gui_main.cpp). Its application is
// the process's one.
QuorlinWindow* gui_window();

// The filter panel of the running test's window.
filter_panel_widgets& gui_filter_panel();

// The sample table, inspector pane and voice switches of the running test's
// window (built if there is none), without running the main loop.
sample_table& gui_table();
inspector_pane& gui_pane();
voice_switches& gui_voices();

// Another window of the same application, shown; the caller destroys it.
QuorlinWindow* gui_new_window();

// Whether the running test's window is there (a quit destroys it).
bool gui_window_open();

// Destroys the running test's window, if any, and lets its going finish.
void gui_close_window();

// A toplevel window of `width` x `height` holding only `child`, shown and
// laid out; destroyed with everything in it when this goes.
class gui_lone_window {
 public:
  gui_lone_window(GtkWidget* child, int width, int height);
  ~gui_lone_window();
  gui_lone_window(const gui_lone_window&) = delete;
  gui_lone_window& operator=(const gui_lone_window&) = delete;

 private:
  GtkWidget* window_;
};

// Iterates the main loop until `done` holds or `timeout_ms` passes; returns
// whether `done` held.
bool gui_wait_until(const std::function<bool()>& done, int timeout_ms = 5000);

// Lets pending events and idle work run (redraws, refilters).
void gui_flush();

// Waits until `widget`'s window has drawn a frame, the X server has answered
// what that frame asked of it (a new window size) and the window has drawn
// again: whatever was queued before this call is laid out. Returns whether
// that happened in time.
bool gui_wait_laid_out(GtkWidget* widget);

// What a test saw of a dialog it answered.
struct dialog_seen {
  bool appeared = false;
  std::string title;
  std::string filter_name;
  std::vector<std::string> filter_list;  // names offered for choice
  std::string primary_text;
  std::string secondary_text;
  std::string folder;  // the file chooser's folder when it appeared
};

// Activates File > Open SPC (or calls `open`, which should bring the dialog
// up some other way), chooses `path` in the real chooser (set on one tick,
// accepted on a later one once the chooser reports it) or cancels when
// `path` is empty. Never blocks for more than a few seconds. Any file
// chooser will do, a folder chooser too; `prepare` is called on it once it
// appears (to set its extra widget).
dialog_seen gui_open_through_dialog(const std::string& path,
                                    const std::function<void()>& open = {},
                                    const std::function<void(GtkFileChooser*)>& prepare = {});

// Activates Help > About and closes the message dialog it opens.
dialog_seen gui_about();

// The texts of the table's rows, in the order the view shows them.
std::vector<std::vector<std::string>> gui_visible_rows();

// Text of a label, button or menu item.
std::string gui_text(GtkWidget* widget);

// A widget's tooltip text ("" without one): the file name label's holds the
// full path of the file shown.
std::string gui_tooltip(GtkWidget* widget);
