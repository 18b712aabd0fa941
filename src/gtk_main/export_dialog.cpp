// The chooser runs modally (gtk_dialog_run), so the table cannot change
// between reading its shown rows and writing them.

#include "export_dialog.h"

#include <vector>

#include "kit_export.h"
#include "message_line.h"
#include "sample_export.h"
#include "sample_table.h"
#include "settings.h"
#include "song_follow.h"

namespace {

// The options' check boxes, packed as the chooser's extra widget: the chooser
// owns them and they go with it.
struct export_option_boxes {
  GtkWidget* box;
  GtkWidget* loop_header;
  GtkWidget* unique;
  GtkWidget* force;
  GtkWidget* instruments;
};

GtkWidget* append_check_box(GtkWidget* box, const char* label) {
  GtkWidget* check = gtk_check_button_new_with_label(label);
  gtk_box_pack_start(GTK_BOX(box), check, FALSE, FALSE, 0);
  return check;
}

// All start off: in particular nothing a user made is replaced unless asked.
export_option_boxes option_boxes_new() {
  export_option_boxes boxes{};
  boxes.box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 2);
  boxes.loop_header = append_check_box(boxes.box, export_loop_header_label);
  boxes.unique = append_check_box(boxes.box, export_unique_label);
  boxes.force = append_check_box(boxes.box, export_force_label);
  boxes.instruments = append_check_box(boxes.box, export_instruments_label);
  gtk_widget_show_all(boxes.box);
  return boxes;
}

bool is_checked(GtkWidget* check) {
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check));
}

std::string start_folder(const std::string& spc_path) {
  std::string folder = settings_last_export_folder();
  if (!folder.empty()) return folder;
  g_autofree char* beside_file = g_path_get_dirname(spc_path.c_str());
  return beside_file;
}

GtkWidget* export_chooser_new(GtkWindow* parent, const std::string& spc_path,
                              const export_option_boxes& boxes) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      "Export Samples", parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
      GTK_RESPONSE_CANCEL, "_Export", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_create_folders(GTK_FILE_CHOOSER(dialog), TRUE);
  gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), start_folder(spc_path).c_str());
  gtk_file_chooser_set_extra_widget(GTK_FILE_CHOOSER(dialog), boxes.box);
  return dialog;
}

// The written line as info; a failure goes to standard error as well. A
// folder that cannot be remembered does not undo the export: the line says both.
void show_result(const export_result& result, const std::string& folder,
                 const std::string& also_written = {}) {
  const std::string not_saved = g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)
                                    ? settings_remember_export_folder(folder)
                                    : std::string();
  if (result.ok && not_saved.empty()) {
    message_line_show(message_kind::info, result.summary() + also_written);
    return;
  }
  message_line_report(not_saved.empty() ? result.summary()
                                        : result.summary() + " (" + not_saved + ")");
}

// The export with the song's played samples as a kit beside it: tuned from
// the song the window follows, so it waits for that trace. Nothing is
// written when a kit file is in the way (without force).
void export_with_kit(const spc_format& spc, const std::string& spc_path,
                     const std::vector<int>& shown, const std::string& folder,
                     export_options options) {
  const std::shared_ptr<const song_trace> trace = song_follow_trace();
  if (!trace) {
    message_line_report("The instrument kit needs the song followed, which is still under way: "
                        "nothing was written; export again in a moment");
    return;
  }
  const export_tunings tunings = tune_traced_image(spc, *trace, spc_path);
  options.tunings = &tunings;
  // As export_samples does, with the kit beside: its files point at the
  // WAV files the export names (the rows shown).
  kit_export kit(folder, tunings, options.force);
  std::string failure;
  if (!options.force) {
    sample_export check(options, folder, sample_export::mode::check_only);
    check.add_image(spc, spc_path, shown);
    if (!kit.put(check.stem_given(), check.names_given(), spc, spc_path, false, failure)) {
      message_line_report(failure);
      return;
    }
    if (const export_result checked = check.finish(); !checked.ok) {
      show_result(checked, folder);
      return;
    }
  }
  sample_export run(options, folder);
  run.add_image(spc, spc_path, shown);
  const bool kit_written =
      kit.put(run.stem_given(), run.names_given(), spc, spc_path, true, failure);
  export_result result = run.finish();
  if (result.ok && !kit_written) {
    result.ok = false;
    result.failure = failure;
  }
  const std::string stem = run.stem_given();
  show_result(result, folder,
              kit.files_written() > 0
                  ? ", and the instrument kit " + stem + ".sf2, " + stem + ".sfz and " + stem +
                        "-instruments.txt"
                  : std::string(", no instrument kit: the song plays none of them"));
}

}  // namespace

void export_dialog_run(GtkWindow* parent, const std::shared_ptr<const spc_format>& spc,
                       const std::string& spc_path) {
  if (!spc) return;
  // export_samples takes no numbers as "every entry": an empty table must
  // not become a full export.
  const std::vector<int> shown = sample_table_shown_sample_numbers();
  if (shown.empty()) {
    message_line_show(message_kind::info, "No samples shown, so none exported");
    return;
  }
  const export_option_boxes boxes = option_boxes_new();
  GtkWidget* dialog = export_chooser_new(parent, spc_path, boxes);
  std::string folder;
  export_options options;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    g_autofree char* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (chosen) folder = chosen;
    options.loop_header = is_checked(boxes.loop_header);
    options.unique = is_checked(boxes.unique);
    options.force = is_checked(boxes.force);
    options.instruments = is_checked(boxes.instruments);
  }
  gtk_widget_destroy(dialog);
  if (folder.empty()) return;
  if (options.instruments) return export_with_kit(*spc, spc_path, shown, folder, options);
  show_result(export_samples(*spc, spc_path, shown, folder, options), folder);
}
