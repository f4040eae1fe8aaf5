// The stream functions bass.dll calls for the tempo and reverse stages.
#pragma once

#include "bass_ext.h"

namespace tav::bfxs {

const TAV_STREAM_FUNCS& tempo_stream_funcs();
const TAV_STREAM_FUNCS& reverse_stream_funcs();

}  // namespace tav::bfxs
