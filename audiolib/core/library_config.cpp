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
    case BASS_CONFIG_NET_TIMEOUT:
      if (value < kMinNetTimeoutMs || value > kMaxNetTimeoutMs) return false;
      net_timeout_ms = value;
      return true;
    case BASS_CONFIG_NET_BUFFER:
      if (value < kMinNetBufferMs || value > kMaxNetBufferMs) return false;
      net_buffer_ms = value;
      return true;
    case BASS_CONFIG_NET_PREBUF:
      if (value > 100) return false;
      net_prebuffer_percent = value;
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
    case BASS_CONFIG_NET_TIMEOUT: value = net_timeout_ms; return true;
    case BASS_CONFIG_NET_BUFFER: value = net_buffer_ms; return true;
    case BASS_CONFIG_NET_PREBUF: value = net_prebuffer_percent; return true;
    default: return false;
  }
}

}  // namespace tav::audio
