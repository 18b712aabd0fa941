#include "sample_inspector.h"

#include <cstdio>
#include <utility>

#include "brr.h"
#include "hex_text.h"
#include "sample_checks.h"
#include "voices.h"

namespace {

constexpr double dsp_rate_hz = 32000.0;
// Loops longer than this are measured over their second pass alone.
constexpr std::size_t long_loop_samples = 16384;

struct sample_inspector_parts {
  GtkWidget* facts = nullptr;
  GtkWidget* waveform = nullptr;
  GtkWidget* play_button = nullptr;
  GtkWidget* semitones = nullptr;
  GtkWidget* note = nullptr;
  GtkWidget* reason = nullptr;  // why the button is disabled
  sample_play_pressed on_play_pressed;
};

constexpr const char* parts_key = "quorlin-sample-inspector";

sample_inspector_parts& parts_of(GtkWidget* inspector) {
  return *static_cast<sample_inspector_parts*>(g_object_get_data(G_OBJECT(inspector), parts_key));
}

std::string hex(std::size_t value) { return hex_text_format(value); }

// "0, 1, 3": decimal voice or filter numbers.
std::string listed(const std::vector<int>& numbers) {
  std::string text;
  for (const int n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
  return text;
}

void play_pressed(GtkButton*, gpointer data) noexcept {
  auto& parts = *static_cast<sample_inspector_parts*>(data);
  if (parts.on_play_pressed)
    parts.on_play_pressed(gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(parts.semitones)));
}

}  // namespace

std::vector<std::string> sample_facts_lines(const sample_facts& facts) {
  std::vector<std::string> lines;
  lines.push_back("Sample " + hex(static_cast<std::size_t>(facts.sample_number)) + " · SRCN " +
                  hex(static_cast<std::size_t>(facts.sample_number - 1)));
  lines.push_back("Start " + hex(facts.start) + " · end " + hex(facts.end));
  char duration[32];
  std::snprintf(duration, sizeof duration, "%.1f ms", facts.samples * 1000.0 / dsp_rate_hz);
  lines.push_back("Blocks " + hex(static_cast<std::size_t>(facts.blocks)) + " · samples " +
                  hex(facts.samples) + " · " + duration + " at 32 kHz");
  lines.push_back(facts.loop_sample >= 0
                      ? "Loops from sample " + hex(static_cast<std::size_t>(facts.loop_sample))
                      : std::string("Plays once (no loop)"));
  std::vector<int> filters;
  for (int f = 0; f < 4; ++f)
    if (facts.filters_used & (1u << f)) filters.push_back(f);
  lines.push_back("Filters " + listed(filters) + " · largest range " +
                  hex(static_cast<std::size_t>(facts.largest_range)));
  lines.push_back(facts.voices.empty() ? std::string("No voice plays it at the snapshot")
                                       : "Voices " + listed(facts.voices));
  if (!facts.song_play.empty()) lines.push_back(facts.song_play);
  if (!facts.tuning.empty()) lines.push_back(facts.tuning);
  for (const std::string& warning : facts.warnings) lines.push_back("Warning: " + warning);
  return lines;
}

inspected_sample inspect_sample(const spc_format& spc, const sample_chart& row) {
  const brr_sample sample = brr_decode_entry(spc, row);
  inspected_sample shown;
  sample_facts& facts = shown.facts;
  facts.sample_number = row.sample_number;
  facts.start = sample.start;
  facts.end = sample.blocks.empty() ? sample.start
                                    : static_cast<u16>(sample.blocks.back().address +
                                                       brr_block_bytes - 1);
  facts.blocks = static_cast<int>(sample.blocks.size());
  facts.samples = sample.pcm.size();
  facts.loop_sample =
      sample.loops && sample.loop_sample ? static_cast<int>(*sample.loop_sample) : -1;
  facts.filters_used = sample.filters_used;
  facts.largest_range = sample.largest_range;
  facts.voices = voices_using_source(spc, row.sample_number - 1);
  facts.warnings = sample_warning_texts(spc, sample);
  shown.ends = sample.ends;

  auto waveform = std::make_shared<waveform_data>();
  waveform->first_pass = sample.pcm;
  for (const brr_block& block : sample.blocks)
    waveform->blocks.push_back({block.address, block.header});
  if (facts.loop_sample >= 0) {
    waveform->loop_start = facts.loop_sample;
    brr_history history = sample.history_at_end;
    waveform->loop_pass = brr_decode_loop_pass(spc, sample, history);
    for (std::size_t b = sample.loop_block(); b < sample.blocks.size(); ++b)
      waveform->blocks.push_back({sample.blocks[b].address, sample.blocks[b].header});
  }
  if (sample.ends) {
    // A short loop may take several passes to settle (playable_pcm decodes
    // them, as the export does); a long one's second pass, decoded above,
    // already holds more than the pitch is measured over.
    if (waveform->loop_pass.size() > long_loop_samples) {
      looped_pcm two_passes{sample.pcm, sample.pcm.size()};
      two_passes.pcm.insert(two_passes.pcm.end(), waveform->loop_pass.begin(),
                            waveform->loop_pass.end());
      shown.own = detect_own_pitch(two_passes);
    } else {
      shown.own = detect_own_pitch(playable_pcm(spc, sample));
    }
  }
  shown.waveform = std::move(waveform);
  return shown;
}

GtkWidget* sample_inspector_new(sample_play_pressed on_play_pressed) {
  auto parts = std::make_unique<sample_inspector_parts>();
  parts->on_play_pressed = std::move(on_play_pressed);
  parts->facts = gtk_label_new("");
  gtk_label_set_selectable(GTK_LABEL(parts->facts), TRUE);
  gtk_label_set_xalign(GTK_LABEL(parts->facts), 0.0f);
  // Long lines wrap rather than widen the window from one entry to the next.
  gtk_label_set_line_wrap(GTK_LABEL(parts->facts), TRUE);
  parts->waveform = waveform_view_new();
  parts->play_button = gtk_button_new_with_label("Play Sample");
  parts->semitones = gtk_spin_button_new_with_range(-24, 24, 1);
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(parts->semitones), 0);

  GtkWidget* controls = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_box_pack_start(GTK_BOX(controls), parts->play_button, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(controls), gtk_label_new("Semitones"), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(controls), parts->semitones, FALSE, FALSE, 0);
  parts->note = gtk_entry_new();
  gtk_entry_set_width_chars(GTK_ENTRY(parts->note), 5);
  gtk_entry_set_placeholder_text(GTK_ENTRY(parts->note), "A4");
  gtk_widget_set_tooltip_text(parts->note,
                              "Play the sample at the pitch that sounds this note (A4 = 440 Hz)");
  gtk_box_pack_start(GTK_BOX(controls), gtk_label_new("or note"), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(controls), parts->note, FALSE, FALSE, 0);

  parts->reason = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(parts->reason), 0.0f);
  gtk_label_set_line_wrap(GTK_LABEL(parts->reason), TRUE);

  GtkWidget* inspector = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
  gtk_box_pack_start(GTK_BOX(inspector), parts->facts, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(inspector), parts->waveform, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(inspector), controls, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(inspector), parts->reason, FALSE, FALSE, 0);
  g_signal_connect(parts->play_button, "clicked", G_CALLBACK(play_pressed), parts.get());
  g_object_set_data_full(G_OBJECT(inspector), parts_key, parts.release(), [](gpointer data) {
    delete static_cast<sample_inspector_parts*>(data);
  });
  return inspector;
}

void sample_inspector_show(GtkWidget* inspector, const sample_facts& facts,
                           std::shared_ptr<const waveform_data> waveform) {
  sample_inspector_set_facts(inspector, facts);
  waveform_view_set_data(parts_of(inspector).waveform, std::move(waveform));
}

void sample_inspector_set_facts(GtkWidget* inspector, const sample_facts& facts) {
  std::string text;
  for (const std::string& line : sample_facts_lines(facts)) text += (text.empty() ? "" : "\n") + line;
  gtk_label_set_text(GTK_LABEL(parts_of(inspector).facts), text.c_str());
}

void sample_inspector_show_nothing(GtkWidget* inspector) {
  const sample_inspector_parts& parts = parts_of(inspector);
  gtk_label_set_text(GTK_LABEL(parts.facts), "No entry inspected");
  waveform_view_set_data(parts.waveform, nullptr);
  sample_inspector_set_playable(inspector, "");
}

void sample_inspector_set_playable(GtkWidget* inspector, const char* reason) {
  const sample_inspector_parts& parts = parts_of(inspector);
  gtk_widget_set_sensitive(parts.play_button, reason == nullptr);
  gtk_label_set_text(GTK_LABEL(parts.reason), reason ? reason : "");
}

void sample_inspector_set_playing(GtkWidget* inspector, bool playing) {
  gtk_button_set_label(GTK_BUTTON(parts_of(inspector).play_button),
                       playing ? "Stop Sample" : "Play Sample");
}

GtkWidget* sample_inspector_facts(GtkWidget* inspector) { return parts_of(inspector).facts; }
GtkWidget* sample_inspector_waveform(GtkWidget* inspector) { return parts_of(inspector).waveform; }
GtkWidget* sample_inspector_play_button(GtkWidget* inspector) {
  return parts_of(inspector).play_button;
}
GtkWidget* sample_inspector_note(GtkWidget* inspector) { return parts_of(inspector).note; }

GtkWidget* sample_inspector_semitones(GtkWidget* inspector) {
  return parts_of(inspector).semitones;
}
GtkWidget* sample_inspector_reason(GtkWidget* inspector) { return parts_of(inspector).reason; }
