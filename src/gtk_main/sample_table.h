// The sample table: a list store of hexadecimal texts, one row per sample of
// the loaded file, seen through a filtering layer (per-column bounds) and a
// sorting layer (numeric order of any column) in a tree view whose cells copy
// their text to the clipboard when pressed. GTK main thread only.
#pragma once

#include <gtk/gtk.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "hex_text.h"
#include "spc.h"

// Model columns, in the order of the table's columns; also the sort ids.
enum sample_list_column_id {
  SAMPLE_COLUMN_NUMBER,
  SAMPLE_COLUMN_START,
  SAMPLE_COLUMN_LOOP,
  SAMPLE_COLUMN_LENGTH,
  SAMPLE_COLUMN_LOOP_LENGTH,
  SAMPLE_COLUMN_COUNT
};

// A model column past the five texts: FALSE dims the row (the song never
// plays its entry). Rows are filled TRUE, so a row is dimmed only once the
// song's trace says so.
inline constexpr int SAMPLE_MODEL_LIT = SAMPLE_COLUMN_COUNT;

// Bounds per column: index i is the minimum of column i, i + count its maximum.
inline constexpr int chart_filter_count = 2 * SAMPLE_COLUMN_COUNT;

// The bounds a fresh table starts with, which are also the widest the filter
// panel offers: sample numbers run 1 ... 0x100, everything else fits 16 bits.
inline constexpr std::array<std::int32_t, chart_filter_count> chart_filter_defaults = {
    0, 0, 0, 0, 0, 0x100, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};

// Column headings (chart_headings, hex_text.h) follow model-column order.
static_assert(SAMPLE_COLUMN_COUNT == chart_column_count);

// One window's table: its models, view, bounds and listener. The window owns it.
struct sample_table;
struct sample_table_free {
  void operator()(sample_table* table) const noexcept;
};
using sample_table_ptr = std::unique_ptr<sample_table, sample_table_free>;

// Builds store, layers and view, with the default bounds. GTK main thread only.
sample_table_ptr sample_table_new();

// The scrolled window to pack. GTK main thread only.
GtkWidget* sample_table_widget(const sample_table& table);

// Replaces every row with one per chart record, in chart order. GTK main thread only.
void sample_table_fill(sample_table& table, const sample_chart* chart, std::int32_t count);

// The inclusive bounds; a writer then calls sample_table_refilter(). GTK main thread only.
std::int32_t* sample_table_chart_filters(sample_table& table);

// Re-evaluates every row against the bounds (no-op before sample_table_new). GTK main thread only.
void sample_table_refilter(sample_table& table);

// Called after the rows shown may have changed (a fill, a refilter) with
// null, and after a press copied a cell with the copied text. GTK main thread only.
using sample_table_listener = std::function<void(const char* copied_text)>;
void sample_table_set_listener(sample_table& table, sample_table_listener listener);

// Rows in the table, and rows the bounds let through. GTK main thread only.
int sample_table_row_count(const sample_table& table);
int sample_table_shown_count(const sample_table& table);

// Whether every bound holds its default and the rows the song never plays
// are not hidden. GTK main thread only.
bool sample_table_filters_at_defaults(const sample_table& table);

// What the song plays, per directory index (null: not known, no row dimmed).
// Dims the rows of entries it never plays and refilters. GTK main thread only.
void sample_table_set_played(sample_table& table, const std::array<bool, 256>* played_sources);

// Hides the rows the song never plays (once known), or shows them again.
// GTK main thread only.
void sample_table_set_only_played(sample_table& table, bool only_played);
bool sample_table_only_played(const sample_table& table);

// Rows in the table whose entry the song plays; -1 while that is not known.
// GTK main thread only.
int sample_table_played_count(const sample_table& table);

// The sample numbers of the rows shown, in the order shown. GTK main thread only.
std::vector<int> sample_table_shown_sample_numbers(const sample_table& table);

// The sample number of the row under the keyboard cursor; 0 when no shown
// row has it. GTK main thread only.
int sample_table_cursor_sample(const sample_table& table);

// Puts the cursor on the row of `sample_number` and scrolls it into sight;
// false when no shown row has that number. GTK main thread only.
bool sample_table_move_cursor_to(sample_table& table, int sample_number);

// Filter visibility: all five texts set and each within bounds `data`. GTK main thread only.
gboolean sample_table_filter(GtkTreeModel* model, GtkTreeIter* iter, gpointer data) noexcept;

// Hex order of model column `data`: -1/0/1, 0 if a text is unset. GTK main thread only.
gint sample_table_sorter(GtkTreeModel* model, GtkTreeIter* a, GtkTreeIter* b,
                         gpointer data) noexcept;

// View press: copies the pressed cell's text to CLIPBOARD and tells the
// listener of table `data`; returns FALSE. GTK main thread only.
// Not claiming the press leaves the view its own handling (keyboard focus).
gboolean sample_list_click(GtkWidget* widget, GdkEventButton* event, gpointer data) noexcept;

// The layers, innermost first, and the view, for tests and the benchmark. GTK main thread only.
GtkListStore* sample_table_store(const sample_table& table);
GtkTreeModelFilter* sample_table_filtered(const sample_table& table);
GtkTreeModelSort* sample_table_sorted(const sample_table& table);
GtkTreeView* sample_table_view(const sample_table& table);
GtkTreeViewColumn* sample_table_column(const sample_table& table, int column);
