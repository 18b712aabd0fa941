// The page follows the player's state: the song plays when the player plays
// and the Play button started it (Play Sample has a button of its own). The
// playhead's poll runs only then, and only once the page exists.

#include "song_page.h"

#include <utility>

#include "message_line.h"
#include "notes_view.h"
#include "play_button.h"
#include "timeline_layout.h"
#include "voice_mute.h"

namespace {

constexpr guint playhead_poll_ms = 50;  // the playhead moves a pixel at a time when zoomed in

struct song_page_state {
  GtkWidget* page = nullptr;
  GtkWidget* timeline = nullptr;  // built when the page is first shown
  GtkWidget* notes = nullptr;     // with the timeline
  GtkWidget* views = nullptr;     // the stack holding both: "Lanes" and "Notes"
  std::shared_ptr<const song_trace> trace;
  timeline_sample_chosen on_sample_chosen;
  timeline_root_key root_key_of;
  play_button* controls = nullptr;  // the window's, which outlives the page
  guint playhead_timer = 0;
  int mute_listener = -1;  // the Voices page's Mute and Solo, shown in the lane headers
};

constexpr const char* state_key = "quorlin-song-page";

song_page_state& state_of(GtkWidget* page) {
  return *static_cast<song_page_state*>(g_object_get_data(G_OBJECT(page), state_key));
}

GtkWidget* play_button_of(const song_page_state& state) {
  return play_button_get_widgets(*state.controls).button_play;
}

bool song_playing(const song_page_state& state) {
  return play_button_playing(*state.controls) == play_button_of(state);
}

void set_playhead(const song_page_state& state, double seconds) {
  timeline_view_set_playhead(state.timeline, seconds);
  notes_view_set_playhead(state.notes, seconds);
}

gboolean on_playhead_tick(gpointer data) noexcept {
  const song_page_state& state = *static_cast<song_page_state*>(data);
  set_playhead(state, quorlin_player_get_position(play_button_player(*state.controls)));
  return G_SOURCE_CONTINUE;
}

// The poll runs while the song plays and one of the views is on screen;
// nothing wakes the window otherwise. A view shown again catches up at once.
void follow_playing(song_page_state& state) {
  if (!state.timeline) return;
  const bool playing = song_playing(state);
  const bool polling =
      playing && (gtk_widget_get_mapped(state.timeline) || gtk_widget_get_mapped(state.notes));
  if (polling && !state.playhead_timer) {
    state.playhead_timer = g_timeout_add(playhead_poll_ms, on_playhead_tick, &state);
    on_playhead_tick(&state);
  } else if (!polling && state.playhead_timer) {
    g_source_remove(state.playhead_timer);
    state.playhead_timer = 0;
  }
  if (!playing) set_playhead(state, -1);
}

void on_timeline_mapped(GtkWidget*, gpointer page) noexcept {
  follow_playing(state_of(GTK_WIDGET(page)));
}

void on_player_state(QuorlinPlayer*, int, gpointer page) noexcept {
  follow_playing(state_of(GTK_WIDGET(page)));
}

// libgme can seek, but only by emulating up to the point (a quarter to half
// a second of work for two minutes in), on the playing thread, which cannot
// be stopped meanwhile: the song starts again from its start instead.
void on_ruler_pressed(song_page_state& state, double seconds) {
  if (!song_playing(state)) return;
  play_button_stop(*state.controls);
  gtk_button_clicked(GTK_BUTTON(play_button_of(state)));
  message_line_show(state.page, message_kind::info,
                    "The song starts again from 0:00: seeking to " + tenths_time_text(seconds) +
                        " is not supported by the emulator.");
}

void show_muted(const song_page_state& state) {
  const u8 muted = voice_mute_mask(play_button_voices(*state.controls));
  timeline_view_set_muted(state.timeline, muted);
  notes_view_set_muted(state.notes, muted);
}

void build_timeline(GtkWidget* page, gpointer) noexcept {
  song_page_state& state = state_of(page);
  if (state.timeline) return;
  state.timeline = timeline_view_new(
      state.on_sample_chosen, [&state](double seconds) { on_ruler_pressed(state, seconds); });
  state.notes = notes_view_new(state.on_sample_chosen);
  state.views = gtk_stack_new();
  gtk_stack_add_titled(GTK_STACK(state.views), state.timeline, "lanes", "Lanes");
  gtk_stack_add_titled(GTK_STACK(state.views), state.notes, "notes", "Notes");
  GtkWidget* switcher = gtk_stack_switcher_new();
  gtk_stack_switcher_set_stack(GTK_STACK_SWITCHER(switcher), GTK_STACK(state.views));
  gtk_widget_set_halign(switcher, GTK_ALIGN_CENTER);
  gtk_box_pack_start(GTK_BOX(page), switcher, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(page), state.views, TRUE, TRUE, 0);
  for (GtkWidget* view : {state.timeline, state.notes}) {
    g_signal_connect(view, "map", G_CALLBACK(on_timeline_mapped), page);
    g_signal_connect(view, "unmap", G_CALLBACK(on_timeline_mapped), page);
  }
  gtk_widget_show_all(switcher);
  gtk_widget_show_all(state.views);
  timeline_view_set_root_key_source(state.timeline, state.root_key_of);
  notes_view_set_root_key_source(state.notes, state.root_key_of);
  show_muted(state);
  state.mute_listener =
      voice_mute_add_listener(play_button_voices(*state.controls), [&state] { show_muted(state); });
  timeline_view_set_trace(state.timeline, state.trace);
  notes_view_set_trace(state.notes, state.trace);
  follow_playing(state);
}

}  // namespace

GtkWidget* song_page_new(play_button& controls, timeline_sample_chosen on_sample_chosen) {
  GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  auto state = std::make_unique<song_page_state>();
  state->page = page;
  state->controls = &controls;
  state->on_sample_chosen = std::move(on_sample_chosen);
  g_signal_connect_object(play_button_player(controls), "state-changed",
                          G_CALLBACK(on_player_state), page, GConnectFlags(0));
  g_signal_connect(page, "map", G_CALLBACK(build_timeline), nullptr);
  g_object_set_data_full(G_OBJECT(page), state_key, state.release(), [](gpointer data) {
    auto* state = static_cast<song_page_state*>(data);
    if (state->playhead_timer) g_source_remove(state->playhead_timer);
    if (state->mute_listener >= 0)
      voice_mute_remove_listener(play_button_voices(*state->controls), state->mute_listener);
    delete state;
  });
  return page;
}

void song_page_show_trace(GtkWidget* page, std::shared_ptr<const song_trace> trace) {
  song_page_state& state = state_of(page);
  state.trace = std::move(trace);
  if (!state.timeline) return;
  timeline_view_set_trace(state.timeline, state.trace);
  notes_view_set_trace(state.notes, state.trace);
}

void song_page_set_root_key_source(GtkWidget* page, timeline_root_key root_key_of) {
  song_page_state& state = state_of(page);
  state.root_key_of = std::move(root_key_of);
  if (!state.timeline) return;
  timeline_view_set_root_key_source(state.timeline, state.root_key_of);
  notes_view_set_root_key_source(state.notes, state.root_key_of);
}

GtkWidget* song_page_timeline(GtkWidget* page) { return state_of(page).timeline; }

GtkWidget* song_page_notes(GtkWidget* page) { return state_of(page).notes; }

GtkWidget* song_page_views(GtkWidget* page) { return state_of(page).views; }
