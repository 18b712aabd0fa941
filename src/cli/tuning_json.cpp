#include "tuning_json.h"

#include <json-glib/json-glib.h>

void json_add_tuning(JsonBuilder* b, const sample_instrument* instrument, int srcn) {
  json_builder_set_member_name(b, "tuning");
  if (!instrument) {
    json_builder_add_null_value(b);
    return;
  }
  const sample_tuning& t = instrument->tuning;
  const auto add_int = [b](const char* name, gint64 value) {
    json_builder_set_member_name(b, name);
    json_builder_add_int_value(b, value);
  };
  const auto add_text = [b](const char* name, const std::string& value) {
    json_builder_set_member_name(b, name);
    json_builder_add_string_value(b, value.c_str());
  };
  json_builder_begin_object(b);
  add_int("root", t.root_key());
  add_text("root_name", midi_note_name(t.root_key()));
  add_int("fine_tune_cents", t.fine_tune_cents());
  add_text("method", tuning_method_text(t.method));
  json_builder_set_member_name(b, "confidence");
  json_builder_add_double_value(b, t.confidence);
  add_int("played_low", t.played_low.value_or(-1));
  add_int("played_high", t.played_high.value_or(-1));
  json_builder_set_member_name(b, "spread_cents");
  json_builder_add_double_value(b, t.spread_cents);
  add_int("adsr1", instrument->envelope.adsr1);
  add_int("adsr2", instrument->envelope.adsr2);
  add_int("gain", instrument->envelope.gain);
  add_int("other_envelopes", instrument->other_envelopes);
  const kit_preset preset = kit_preset_of(srcn);
  add_int("bank", preset.bank);
  add_int("program", preset.program);
  json_builder_end_object(b);
}
