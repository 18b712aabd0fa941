#include "load_checker.h"

#include <gtk/gtk.h>

#include <cstdio>

#include "gui_support.h"
#include "load_report.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "spc_builder.h"
#include "stderr_capture.h"

namespace {

// A run with thousands of problems needs only the first few to be read.
constexpr int problems_shown = 10;

}  // namespace

std::string write_good_file(const std::string& dir) {
  spc_builder builder;
  builder.text_tag("Still here", "Stress", "Quorlin", "60");
  for (int k = 0; k < good_file_rows; ++k) {
    const auto start = static_cast<u16>(0x2000 + k * 0x100);
    builder.dir_entry(k, start, start).brr_chain(start, 1 + k % 8);
  }
  return builder.write_to(dir, "good.spc");
}

void load_checker::problem(int index, const char* kind, const std::string& what) {
  if (++problems_ <= problems_shown)
    std::fprintf(stderr, "load %d (%s): %s\n", index, kind, what.c_str());
}

bool load_checker::load(int index, const char* kind, const std::string& path) {
  stderr_capture capture;
  const bool ok = main_window_load_file(gui_window(), path.c_str());
  gui_flush();  // redraws and relayouts: GTK's own complaints count too
  const std::string report = capture.finish();
  const main_window_widgets& w = main_window_get_widgets(gui_window());
  const bool play_shown = gtk_widget_get_visible(w.button_play);
  const bool image_kept = main_window_current_spc(gui_window()) != nullptr;
  if (ok) {
    if (!load_report_is_quiet(report)) problem(index, kind, "loaded, but reported: " + report);
    if (!play_shown || !image_kept)
      problem(index, kind, "loaded, but Play or the image is missing");
  } else {
    if (!load_report_is_expected(report)) problem(index, kind, "unexpected report: " + report);
    if (play_shown || image_kept) problem(index, kind, "refused, but Play or the image stayed");
    if (*gtk_label_get_text(GTK_LABEL(w.label_game_title)) != '\0')
      problem(index, kind, "refused, but the tag labels kept their text");
  }
  return ok;
}

void load_checker::check_good(int index, const std::string& path) {
  if (!load(index, "good file", path)) return;
  const auto rows = gui_visible_rows().size();
  if (rows != good_file_rows)
    problem(index, "good file",
            "shows " + std::to_string(rows) + " rows, not " + std::to_string(good_file_rows));
}
