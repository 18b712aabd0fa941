// One played sample as the kit files hold it: its PCM as a sampler should
// loop it, its tuning and envelope, and the names it goes by. Plain value;
// any thread.
#pragma once

#include <string>

#include "sample_export.h"
#include "sample_tuning.h"

struct kit_sample {
  int srcn = 0;              // directory index: the kit's preset (kit_preset_of)
  std::string name;          // "STEM 1A": the file's stem and the table's sample number
  std::string wav_name;      // the exported WAV beside the SFZ
  std::string brr_name;      // the exported BRR the AddMusicK line names
  looped_pcm pcm;
  sample_instrument instrument;
};
