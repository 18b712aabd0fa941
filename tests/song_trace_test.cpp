#include <gtest/gtest.h>

#include "song_trace.h"
#include "spc_builder.h"
