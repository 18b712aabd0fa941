// The keyboard: menu mnemonics and the accelerators they show, Ctrl+O,
// Ctrl+Q and Space, each pressed as a key event the window dispatches as
// usual (gui_key).

#include <gtest/gtest.h>

#include <string>

#include "filter_panel.h"
#include "gui_input.h"
#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "spc_builder.h"

namespace {

class ShortcutsTest : public testing::Test {
 protected:
  void SetUp() override {
    gui_window();
    gui_focus_window();
    stop_if_playing();
  }
  void TearDown() override {
    if (gui_window_open()) stop_if_playing();  // Ctrl+Q closes it
  }

  const main_window_widgets& w = main_window_get_widgets(gui_window());
  temp_dir dir;

  std::string tone_file() {
    return spc_builder().square_wave_tone().write_to(dir.path(), "tone.spc");
  }
  std::string play_label() { return gui_text(w.button_play); }

 private:
  void stop_if_playing() {
    if (play_label() == "Stop") gtk_button_clicked(GTK_BUTTON(w.button_play));
  }
};

// The menu item that `item` sits under in the menu bar.
GtkWidget* menu_title_of(GtkWidget* item) {
  return gtk_menu_get_attach_widget(GTK_MENU(gtk_widget_get_parent(item)));
}

TEST_F(ShortcutsTest, MenusHaveMnemonicsBehindUnchangedTexts) {
  const struct {
    GtkWidget* item;
    const char* shown;
    const char* with_mnemonic;
  } items[] = {{menu_title_of(w.menu_file_open), "File", "_File"},
               {w.menu_file_open, "Open SPC", "_Open SPC"},
               {w.menu_file_export, "Export Samples\u2026", "_Export Samples\u2026"},
               {w.menu_file_quit, "Quit", "_Quit"},
               {menu_title_of(w.menu_help_about), "Help", "_Help"},
               {w.menu_help_about, "About", "_About"}};
  for (const auto& expected : items) {
    SCOPED_TRACE(expected.shown);
    GtkLabel* label = GTK_LABEL(gtk_bin_get_child(GTK_BIN(expected.item)));
    EXPECT_STREQ(gtk_label_get_text(label), expected.shown);
    EXPECT_STREQ(gtk_label_get_label(label), expected.with_mnemonic);
    EXPECT_TRUE(gtk_label_get_use_underline(label));
  }
}

// Each menu item's action has its accelerator in the application, and the
// item's label shows it.
TEST_F(ShortcutsTest, MenuItemsShowTheirActionsAccelerators) {
  const struct {
    GtkWidget* item;
    const char* action;
    guint key;
    GdkModifierType mods;
  } items[] = {{w.menu_file_open, "win.open", GDK_KEY_o, GDK_CONTROL_MASK},
               {w.menu_file_export, "win.export-samples", GDK_KEY_e, GDK_CONTROL_MASK},
               {w.menu_file_previous, "win.previous-file", GDK_KEY_Left, GDK_MOD1_MASK},
               {w.menu_file_next, "win.next-file", GDK_KEY_Right, GDK_MOD1_MASK},
               {w.menu_file_quit, "app.quit", GDK_KEY_q, GDK_CONTROL_MASK},
               {w.menu_help_shortcuts, "win.show-help-overlay", GDK_KEY_question,
                GDK_CONTROL_MASK}};
  GtkApplication* application = gtk_window_get_application(GTK_WINDOW(w.window));
  ASSERT_TRUE(application);
  for (const auto& expected : items) {
    SCOPED_TRACE(expected.action);
    g_auto(GStrv) accels = gtk_application_get_accels_for_action(application, expected.action);
    ASSERT_TRUE(accels && accels[0]);
    guint key = 0;
    GdkModifierType mods{};
    gtk_accelerator_parse(accels[0], &key, &mods);
    EXPECT_EQ(key, expected.key);
    EXPECT_EQ(mods, expected.mods);

    GtkWidget* label = gtk_bin_get_child(GTK_BIN(expected.item));
    ASSERT_TRUE(GTK_IS_ACCEL_LABEL(label));
    guint shown_key = 0;
    GdkModifierType shown_mods{};
    gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &shown_key, &shown_mods);
    EXPECT_EQ(gdk_keyval_to_lower(shown_key), gdk_keyval_to_lower(expected.key));
    EXPECT_EQ(shown_mods & expected.mods, expected.mods);
  }
}

TEST_F(ShortcutsTest, CtrlOOpensTheDialog) {
  const dialog_seen seen =
      gui_open_through_dialog("", [] { gui_key(GDK_KEY_o, GDK_CONTROL_MASK); });
  EXPECT_TRUE(seen.appeared);
  EXPECT_EQ(seen.title, "Open SPC File");
}

TEST_F(ShortcutsTest, CtrlOChoosesAFileAsTheMenuDoes) {
  const std::string path = tone_file();
  const dialog_seen seen =
      gui_open_through_dialog(path, [] { gui_key(GDK_KEY_o, GDK_CONTROL_MASK); });
  ASSERT_TRUE(seen.appeared);
  EXPECT_EQ(gui_tooltip(w.label_filename), path);
  EXPECT_TRUE(gtk_widget_get_visible(w.button_play));
}

struct quit_run {
  bool timed_out = false;
};

gboolean press_ctrl_q(gpointer) noexcept {
  gui_key(GDK_KEY_q, GDK_CONTROL_MASK);
  return G_SOURCE_REMOVE;
}

gboolean give_up(gpointer data) noexcept {
  static_cast<quit_run*>(data)->timed_out = true;
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

TEST_F(ShortcutsTest, CtrlQEndsTheMainLoop) {
  quit_run run;
  g_idle_add(press_ctrl_q, nullptr);
  const guint fallback = g_timeout_add(5000, give_up, &run);
  gtk_main();
  if (!run.timed_out) g_source_remove(fallback);
  EXPECT_FALSE(run.timed_out) << "Ctrl+Q left the main loop running";
}

TEST_F(ShortcutsTest, SpacePlaysAndStopsALoadedFile) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tone_file().c_str()));
  ASSERT_EQ(play_label(), "Play");
  gui_key(GDK_KEY_space);
  EXPECT_EQ(play_label(), "Stop");
  gui_key(GDK_KEY_space);
  EXPECT_EQ(play_label(), "Play");
}

TEST_F(ShortcutsTest, SpaceIsPlayEvenOnAFocusedButton) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tone_file().c_str()));
  GtkWidget* show_filters = filter_panel_get_widgets(gui_filter_panel()).button_show_filters;
  const std::string before = gui_text(show_filters);
  gtk_widget_grab_focus(show_filters);
  gui_key(GDK_KEY_space);
  EXPECT_EQ(play_label(), "Stop");
  EXPECT_EQ(gui_text(show_filters), before) << "the focused button was not pressed";
}

TEST_F(ShortcutsTest, SpaceDoesNothingWithoutAFile) {
  testing::internal::CaptureStderr();  // the failed load's report
  main_window_load_file(gui_window(), dir.file("missing.spc").c_str());
  testing::internal::GetCapturedStderr();
  ASSERT_FALSE(gtk_widget_get_visible(w.button_play));
  GtkWidget* show_filters = filter_panel_get_widgets(gui_filter_panel()).button_show_filters;
  const std::string before = gui_text(show_filters);
  gtk_widget_grab_focus(show_filters);
  gui_key(GDK_KEY_space);
  EXPECT_EQ(play_label(), "Play");
  EXPECT_FALSE(gtk_widget_get_visible(w.button_play));
  EXPECT_EQ(gui_text(show_filters), before);
}

TEST_F(ShortcutsTest, SpaceInASpinButtonIsTyped) {
  ASSERT_TRUE(main_window_load_file(gui_window(), tone_file().c_str()));
  filter_panel_set_visible(gui_filter_panel(), true);
  gui_flush();
  GtkWidget* spinner = filter_panel_get_widgets(gui_filter_panel()).spinner[0];
  gtk_widget_grab_focus(spinner);
  gui_flush();
  ASSERT_EQ(gtk_window_get_focus(GTK_WINDOW(gui_window())), spinner);
  const std::string before = gtk_entry_get_text(GTK_ENTRY(spinner));
  gui_key(GDK_KEY_space);
  EXPECT_EQ(play_label(), "Play");
  EXPECT_NE(std::string(gtk_entry_get_text(GTK_ENTRY(spinner))), before) << "the space was typed";
  gtk_spin_button_update(GTK_SPIN_BUTTON(spinner));
}

}  // namespace
