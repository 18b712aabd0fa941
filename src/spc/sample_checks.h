// What a ripper checks before trusting a directory entry: where its loop
// points, whether it ends, and whether its bytes share ARAM with what the
// hardware or the driver claims. Pure functions of the image; any thread.
#pragma once

#include <string>
#include <vector>

#include "brr.h"
#include "spc.h"

enum class sample_warning {
  loop_off_grid,         // the loop address lies inside the chain but not on a block start
  loop_outside,          // the loop address lies outside the chain's bytes
  no_end,                // no block of the chain carries the end flag
  low_ram,               // starts in zero page, I/O or stack (below 0x0200)
  overlaps_directory,    // shares bytes with the sample directory
  overlaps_echo,         // shares bytes with the echo buffer the DSP writes
};

// The short fixed text of a warning, e.g. "loop off block grid". Any thread.
const char* sample_warning_text(sample_warning warning);

// The warnings of a decoded entry, in the order of the enum. The two loop
// checks apply only to a sample whose end block carries the loop flag: the
// loop address of any other is never used. Any thread.
std::vector<sample_warning> check_sample(const spc_format& spc, const brr_sample& sample);

// The texts of check_sample's warnings, in its order: what the manifest, the
// JSON listing and the inspector show. Any thread.
std::vector<std::string> sample_warning_texts(const spc_format& spc, const brr_sample& sample);
