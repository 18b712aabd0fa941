// The sample table: store -> filter -> sort -> view. Cells stay text; every
// comparison parses them again with the one hexadecimal reading rule, which
// at 256 rows at most costs nothing worth caching.

#include "sample_table.h"

#include <string>

#include "cell_copy.h"
#include "hex_text.h"

namespace {

// Low enough that the window, filter panel beside the table, stays within
// 700 pixels; high enough for a dozen rows.
constexpr int table_min_height = 300;

// The visibility function is handed the bounds alone; whether rows the song
// never plays are hidden travels with the store it filters.
constexpr char only_played_key[] = "quorlin-only-played";

}  // namespace

struct sample_table {
  GtkWidget* scrolled = nullptr;  // what the window packs
  GtkListStore* sample_list_store = nullptr;
  GtkTreeModel* sample_list_store_filtered = nullptr;
  GtkTreeModel* sample_list_store_sorted = nullptr;
  GtkWidget* sample_list_view = nullptr;
  GtkTreeViewColumn* sample_list_column[SAMPLE_COLUMN_COUNT] = {};
  // Set before anything is built: the filter panel reads them first.
  std::array<std::int32_t, chart_filter_count> chart_filters = chart_filter_defaults;
  sample_table_listener listener;
  bool only_played = false;
  bool played_known = false;

  ~sample_table() {
    if (sample_list_store_sorted) g_object_unref(sample_list_store_sorted);
    if (sample_list_store_filtered) g_object_unref(sample_list_store_filtered);
    if (sample_list_store) g_object_unref(sample_list_store);
  }
};

namespace {

// The five texts of one row, released however the reader leaves.
struct row_texts {
  char* text[SAMPLE_COLUMN_COUNT] = {};

  row_texts(GtkTreeModel* model, GtkTreeIter* iter) {
    gtk_tree_model_get(model, iter, SAMPLE_COLUMN_NUMBER, &text[0], SAMPLE_COLUMN_START,
                       &text[1], SAMPLE_COLUMN_LOOP, &text[2], SAMPLE_COLUMN_LENGTH, &text[3],
                       SAMPLE_COLUMN_LOOP_LENGTH, &text[4], -1);
  }
  ~row_texts() {
    for (char* t : text) g_free(t);
  }
  row_texts(const row_texts&) = delete;
  row_texts& operator=(const row_texts&) = delete;
};

void tell_listener(sample_table& table, const char* copied_text) {
  if (table.listener) table.listener(copied_text);
}

void add_sorted_columns(sample_table& table, GtkTreeView* view) {
  GtkTreeSortable* sortable = GTK_TREE_SORTABLE(table.sample_list_store_sorted);
  GtkCellRenderer* renderer = gtk_cell_renderer_text_new();
  // Numbers line up by their last digit, in a face whose digits share a width.
  g_object_set(renderer, "xalign", 1.0f, "family", "Monospace", nullptr);
  for (int i = 0; i < SAMPLE_COLUMN_COUNT; ++i) {
    gtk_tree_sortable_set_sort_func(sortable, i, sample_table_sorter, GINT_TO_POINTER(i),
                                    nullptr);
    GtkTreeViewColumn* column =
        gtk_tree_view_column_new_with_attributes(chart_headings[i], renderer, "text", i, nullptr);
    // A header click sorts by this column; a second one reverses the order.
    gtk_tree_view_column_set_sort_column_id(column, i);
    gtk_tree_view_column_set_alignment(column, 1.0f);
    gtk_tree_view_column_add_attribute(column, renderer, "sensitive", SAMPLE_MODEL_LIT);
    gtk_tree_view_append_column(view, column);
    table.sample_list_column[i] = column;
  }
  gtk_tree_sortable_set_sort_column_id(sortable, SAMPLE_COLUMN_START, GTK_SORT_ASCENDING);
}

}  // namespace

void sample_table_free::operator()(sample_table* table) const noexcept { delete table; }

sample_table_ptr sample_table_new() {
  sample_table_ptr owned(new sample_table);
  sample_table& table = *owned;
  table.sample_list_store =
      gtk_list_store_new(SAMPLE_COLUMN_COUNT + 1, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING,
                         G_TYPE_STRING, G_TYPE_STRING, G_TYPE_BOOLEAN);
  table.sample_list_store_filtered =
      gtk_tree_model_filter_new(GTK_TREE_MODEL(table.sample_list_store), nullptr);
  gtk_tree_model_filter_set_visible_func(GTK_TREE_MODEL_FILTER(table.sample_list_store_filtered),
                                         sample_table_filter, table.chart_filters.data(), nullptr);
  table.sample_list_store_sorted =
      gtk_tree_model_sort_new_with_model(table.sample_list_store_filtered);

  table.sample_list_view = gtk_tree_view_new_with_model(table.sample_list_store_sorted);
  GtkTreeView* view = GTK_TREE_VIEW(table.sample_list_view);
  add_sorted_columns(table, view);
  // Rows are never highlighted: a press copies a cell, it does not pick a row.
  gtk_tree_selection_set_mode(gtk_tree_view_get_selection(view), GTK_SELECTION_NONE);
  gtk_widget_add_events(table.sample_list_view, GDK_BUTTON_PRESS_MASK);
  g_signal_connect(table.sample_list_view, "button-press-event", G_CALLBACK(sample_list_click),
                   &table);

  GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scrolled), table_min_height);
  // The table asks for the width of all five columns, and gets it while
  // nothing else stands beside it; when the filter panel does, the table
  // gives it room and scrolls sideways rather than widen the window off a
  // small screen.
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                 GTK_POLICY_AUTOMATIC);
  gtk_scrolled_window_set_propagate_natural_width(GTK_SCROLLED_WINDOW(scrolled), TRUE);
  gtk_container_add(GTK_CONTAINER(scrolled), table.sample_list_view);
  table.scrolled = scrolled;
  return owned;
}

GtkWidget* sample_table_widget(const sample_table& table) { return table.scrolled; }

void sample_table_fill(sample_table& table, const sample_chart* chart, std::int32_t count) {
  // Detached, the view lays itself out once for the new rows instead of
  // once per row. The sort order and the bounds live in the models and stay.
  GtkTreeView* view = GTK_TREE_VIEW(table.sample_list_view);
  g_object_ref(table.sample_list_store_sorted);
  gtk_tree_view_set_model(view, nullptr);
  gtk_list_store_clear(table.sample_list_store);
  for (std::int32_t i = 0; i < count; ++i) {
    const auto texts = chart_row_texts(chart[i]);
    // All five texts in one store operation, so no row is ever seen half set.
    gtk_list_store_insert_with_values(
        table.sample_list_store, nullptr, -1, SAMPLE_COLUMN_NUMBER, texts[0].c_str(),
        SAMPLE_COLUMN_START, texts[1].c_str(), SAMPLE_COLUMN_LOOP, texts[2].c_str(),
        SAMPLE_COLUMN_LENGTH, texts[3].c_str(), SAMPLE_COLUMN_LOOP_LENGTH, texts[4].c_str(),
        SAMPLE_MODEL_LIT, TRUE, -1);
  }
  table.played_known = false;
  gtk_tree_view_set_model(view, table.sample_list_store_sorted);
  g_object_unref(table.sample_list_store_sorted);
  tell_listener(table, nullptr);
}

std::int32_t* sample_table_chart_filters(sample_table& table) { return table.chart_filters.data(); }

void sample_table_refilter(sample_table& table) {
  if (!table.sample_list_store_filtered) return;
  gtk_tree_model_filter_refilter(GTK_TREE_MODEL_FILTER(table.sample_list_store_filtered));
  tell_listener(table, nullptr);
}

void sample_table_set_listener(sample_table& table, sample_table_listener listener) {
  table.listener = std::move(listener);
}

int sample_table_row_count(const sample_table& table) {
  if (!table.sample_list_store) return 0;
  return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(table.sample_list_store), nullptr);
}

int sample_table_shown_count(const sample_table& table) {
  if (!table.sample_list_store_filtered) return 0;
  return gtk_tree_model_iter_n_children(table.sample_list_store_filtered, nullptr);
}

bool sample_table_filters_at_defaults(const sample_table& table) {
  return table.chart_filters == chart_filter_defaults && !table.only_played;
}

void sample_table_set_played(sample_table& table, const std::array<bool, 256>* played_sources) {
  GtkTreeModel* model = GTK_TREE_MODEL(table.sample_list_store);
  GtkTreeIter iter;
  if (!model) return;
  table.played_known = played_sources != nullptr;
  for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
       more = gtk_tree_model_iter_next(model, &iter)) {
    g_autofree char* number = nullptr;
    gtk_tree_model_get(model, &iter, SAMPLE_COLUMN_NUMBER, &number, -1);
    const long source = hex_text_parse(number) - 1;
    const bool lit = !played_sources ||
                     (source >= 0 && source < 256 && (*played_sources)[static_cast<std::size_t>(source)]);
    // Every row set re-sorts and refilters it: a row already so stays untouched
    // (each load lights all rows, which the fill has just done).
    gboolean was_lit = FALSE;
    gtk_tree_model_get(model, &iter, SAMPLE_MODEL_LIT, &was_lit, -1);
    if ((was_lit != FALSE) != lit)
      gtk_list_store_set(table.sample_list_store, &iter, SAMPLE_MODEL_LIT, lit, -1);
  }
  sample_table_refilter(table);
}

void sample_table_set_only_played(sample_table& table, bool only_played) {
  table.only_played = only_played;
  g_object_set_data(G_OBJECT(table.sample_list_store), only_played_key, GINT_TO_POINTER(only_played));
  sample_table_refilter(table);
}

bool sample_table_only_played(const sample_table& table) { return table.only_played; }

int sample_table_played_count(const sample_table& table) {
  GtkTreeModel* model = GTK_TREE_MODEL(table.sample_list_store);
  GtkTreeIter iter;
  if (!model || !table.played_known) return -1;
  int count = 0;
  for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
       more = gtk_tree_model_iter_next(model, &iter)) {
    gboolean lit = FALSE;
    gtk_tree_model_get(model, &iter, SAMPLE_MODEL_LIT, &lit, -1);
    count += lit != FALSE;
  }
  return count;
}

std::vector<int> sample_table_shown_sample_numbers(const sample_table& table) {
  std::vector<int> numbers;
  GtkTreeModel* model = table.sample_list_store_sorted;
  GtkTreeIter iter;
  if (!model || !gtk_tree_model_get_iter_first(model, &iter)) return numbers;
  do {
    g_autofree char* text = nullptr;
    gtk_tree_model_get(model, &iter, SAMPLE_COLUMN_NUMBER, &text, -1);
    numbers.push_back(static_cast<int>(hex_text_parse(text)));
  } while (gtk_tree_model_iter_next(model, &iter));
  return numbers;
}

int sample_table_cursor_sample(const sample_table& table) {
  if (!table.sample_list_view) return 0;
  GtkTreePath* path = nullptr;
  gtk_tree_view_get_cursor(GTK_TREE_VIEW(table.sample_list_view), &path, nullptr);
  if (!path) return 0;
  GtkTreeIter iter;
  int number = 0;
  if (gtk_tree_model_get_iter(table.sample_list_store_sorted, &iter, path)) {
    g_autofree char* text = nullptr;
    gtk_tree_model_get(table.sample_list_store_sorted, &iter, SAMPLE_COLUMN_NUMBER, &text, -1);
    number = static_cast<int>(hex_text_parse(text));
  }
  gtk_tree_path_free(path);
  return number;
}

bool sample_table_move_cursor_to(sample_table& table, int sample_number) {
  const std::vector<int> shown = sample_table_shown_sample_numbers(table);
  for (std::size_t row = 0; row < shown.size(); ++row) {
    if (shown[row] != sample_number) continue;
    GtkTreePath* path = gtk_tree_path_new_from_indices(static_cast<int>(row), -1);
    GtkTreeView* view = GTK_TREE_VIEW(table.sample_list_view);
    gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
    gtk_tree_view_scroll_to_cell(view, path, nullptr, FALSE, 0, 0);
    gtk_tree_path_free(path);
    return true;
  }
  return false;
}

gboolean sample_table_filter(GtkTreeModel* model, GtkTreeIter* iter, gpointer data) noexcept {
  const auto* bounds = static_cast<const std::int32_t*>(data);
  const row_texts row(model, iter);
  // A row appended but not yet set (the store reports it before its values)
  // stays hidden until its texts arrive.
  if (!row.text[SAMPLE_COLUMN_NUMBER]) return FALSE;
  if (g_object_get_data(G_OBJECT(model), only_played_key)) {
    gboolean lit = FALSE;
    gtk_tree_model_get(model, iter, SAMPLE_MODEL_LIT, &lit, -1);
    if (!lit) return FALSE;
  }
  for (int i = 0; i < SAMPLE_COLUMN_COUNT; ++i) {
    const long value = hex_text_parse(row.text[i]);
    if (value < bounds[i] || value > bounds[i + SAMPLE_COLUMN_COUNT]) return FALSE;
  }
  return TRUE;
}

gint sample_table_sorter(GtkTreeModel* model, GtkTreeIter* a, GtkTreeIter* b,
                         gpointer data) noexcept {
  const int column = GPOINTER_TO_INT(data);
  g_autofree char* text_a = nullptr;
  g_autofree char* text_b = nullptr;
  gtk_tree_model_get(model, a, column, &text_a, -1);
  gtk_tree_model_get(model, b, column, &text_b, -1);
  if (!text_a || !text_b) return 0;
  const long value_a = hex_text_parse(text_a);
  const long value_b = hex_text_parse(text_b);
  return value_a < value_b ? -1 : value_a > value_b ? 1 : 0;
}

gboolean sample_list_click(GtkWidget* widget, GdkEventButton* event, gpointer data) noexcept {
  sample_table& table = *static_cast<sample_table*>(data);
  const auto cell =
      copy_pressed_cell(GTK_TREE_VIEW(widget), event, table.sample_list_column, SAMPLE_COLUMN_COUNT);
  if (cell && !cell->text.empty()) tell_listener(table, cell->text.c_str());
  return FALSE;
}

GtkListStore* sample_table_store(const sample_table& table) { return table.sample_list_store; }
GtkTreeModelFilter* sample_table_filtered(const sample_table& table) {
  return GTK_TREE_MODEL_FILTER(table.sample_list_store_filtered);
}
GtkTreeModelSort* sample_table_sorted(const sample_table& table) {
  return GTK_TREE_MODEL_SORT(table.sample_list_store_sorted);
}
GtkTreeView* sample_table_view(const sample_table& table) { return GTK_TREE_VIEW(table.sample_list_view); }
GtkTreeViewColumn* sample_table_column(const sample_table& table, int column) { return table.sample_list_column[column]; }
