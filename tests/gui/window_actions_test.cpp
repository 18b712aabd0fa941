// The window's actions, activated as a menu item or a key would (through
// the action, not the widget), the shortcuts window, and two windows in one
// process.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "gui_support.h"
#include "main_window.h"
#include "main_window_test_hooks.h"
#include "spc_builder.h"

namespace {

class WindowActionsTest : public testing::Test {
 protected:
  QuorlinWindow* window = gui_window();
  const main_window_widgets& w = main_window_get_widgets(window);
  temp_dir dir;

  std::string tone(const char* name) {
    return spc_builder().square_wave_tone().write_to(dir.path(), name);
  }
  bool enabled(const char* action) {
    return g_action_group_get_action_enabled(G_ACTION_GROUP(window), action);
  }
  void activate(const char* action) {
    g_action_group_activate_action(G_ACTION_GROUP(window), action, nullptr);
    gui_flush();
  }
};

TEST_F(WindowActionsTest, FileActionsWaitForAFileAndPlayToggles) {
  for (const char* action : {"export-samples", "export-stems", "export-midi", "play", "previous-file", "next-file"})
    EXPECT_FALSE(enabled(action)) << action;
  EXPECT_TRUE(enabled("open"));
  ASSERT_TRUE(main_window_load_file(window, tone("a.spc").c_str()));
  for (const char* action : {"export-samples", "export-stems", "export-midi", "play", "previous-file", "next-file"})
    EXPECT_TRUE(enabled(action)) << action;
  activate("play");
  EXPECT_EQ(gui_text(w.button_play), "Stop");
  activate("play");
  EXPECT_EQ(gui_text(w.button_play), "Play");
}

TEST_F(WindowActionsTest, NextAndPreviousFileStepThroughTheFolder) {
  const std::string first = tone("a.spc");
  const std::string second = tone("b.spc");
  ASSERT_TRUE(main_window_load_file(window, first.c_str()));
  activate("next-file");
  EXPECT_EQ(main_window_current_path(window), second);
  activate("previous-file");
  EXPECT_EQ(main_window_current_path(window), first);
}

void collect_shortcuts(GtkWidget* widget, gpointer data) noexcept {
  auto& found = *static_cast<std::set<std::string>*>(data);
  if (GTK_IS_SHORTCUTS_SHORTCUT(widget)) {
    g_autofree char* accelerator = nullptr;
    g_object_get(widget, "accelerator", &accelerator, nullptr);
    if (accelerator) found.insert(accelerator);
  }
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), collect_shortcuts, data);
}

GtkWidget* visible_shortcuts_window() {
  GtkWidget* found = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* at = toplevels; at; at = at->next)
    if (GTK_IS_SHORTCUTS_WINDOW(at->data) && gtk_widget_get_visible(GTK_WIDGET(at->data)))
      found = GTK_WIDGET(at->data);
  g_list_free(toplevels);
  return found;
}

TEST_F(WindowActionsTest, HelpKeyboardShortcutsListsEveryShortcut) {
  EXPECT_EQ(gui_text(w.menu_help_shortcuts), "Keyboard Shortcuts");
  gtk_menu_item_activate(GTK_MENU_ITEM(w.menu_help_shortcuts));
  ASSERT_TRUE(gui_wait_until([] { return visible_shortcuts_window() != nullptr; }));
  GtkWidget* shortcuts = visible_shortcuts_window();
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(shortcuts)), GTK_WINDOW(window));
  std::set<std::string> found;
  collect_shortcuts(shortcuts, &found);
  for (const char* accelerator : {"<Control>o", "<Control>e", "<Alt>Left Page_Up",
                                  "<Alt>Right Page_Down", "<Control>q", "space",
                                  "<Control>question"})
    EXPECT_TRUE(found.count(accelerator)) << accelerator;
  gtk_widget_destroy(shortcuts);
}

// What one window shows and can do is its own: a second window's load, good
// or bad, its table's bounds, messages and voice switches leave the first
// as it was.
TEST_F(WindowActionsTest, TwoWindowsKeepTheirOwnFiles) {
  const std::string mine = tone("mine.spc");
  ASSERT_TRUE(main_window_load_file(window, mine.c_str()));
  QuorlinWindow* other = gui_new_window();
  testing::internal::CaptureStderr();  // the failed load's report
  EXPECT_FALSE(main_window_load_file(other, dir.file("missing.spc").c_str()));
  testing::internal::GetCapturedStderr();
  sample_table& other_table = main_window_sample_table(other);
  sample_table_chart_filters(other_table)[SAMPLE_COLUMN_NUMBER + SAMPLE_COLUMN_COUNT] = 0;
  sample_table_refilter(other_table);
  EXPECT_GT(sample_table_shown_count(main_window_sample_table(window)), 0);
  voice_mute_set_muted(play_button_voices(main_window_play_button(other)), 3, true);
  EXPECT_EQ(voice_mute_mask(play_button_voices(main_window_play_button(window))), 0);
  EXPECT_FALSE(gtk_widget_get_visible(w.info_bar)) << "the other window's failure is its own";
  EXPECT_TRUE(gtk_widget_get_visible(main_window_get_widgets(other).info_bar));
  EXPECT_EQ(main_window_current_path(window), mine);
  EXPECT_NE(main_window_current_spc(window), nullptr);
  EXPECT_EQ(main_window_current_spc(other), nullptr);
  EXPECT_TRUE(enabled("export-samples"));
  EXPECT_FALSE(g_action_group_get_action_enabled(G_ACTION_GROUP(other), "export-samples"));
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "mine.spc \u2014 Quorlin");
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(other)), "Quorlin");
  EXPECT_EQ(gui_tooltip(w.label_filename), mine);
  gtk_widget_destroy(GTK_WIDGET(other));
  gui_flush();
  EXPECT_EQ(main_window_current_path(window), mine);
}

}  // namespace
