#include "library_config.h"

#include "bass.h"

namespace tav::audio {

bool LibraryConfig::set(uint32_t option, uint32_t value) {
  switch (option) {
    case BASS_CONFIG_BUFFER:
      if (value < kMinBufferMs || value > kMaxBufferMs) return false;
      buffer_ms = value;
      return true;
    case BASS_CONFIG_UPDATEPERIOD:
      if (value < kMinUpdateMs || value > kMaxUpdateMs) return false;
      update_period_ms = value;
      return true;
    case BASS_CONFIG_FLOATDSP:
      float_dsp = value != 0;
      return true;
    default:
      return false;
  }
}

bool LibraryConfig::get(uint32_t option, uint32_t& value) const {
  switch (option) {
    case BASS_CONFIG_BUFFER: value = buffer_ms; return true;
    case BASS_CONFIG_UPDATEPERIOD: value = update_period_ms; return true;
    case BASS_CONFIG_FLOATDSP: value = float_dsp ? 1 : 0; return true;
    default: return false;
  }
}

}  // namespace tav::audio
