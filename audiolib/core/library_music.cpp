// Tracker modules as decoding channels of the library.
#include "error.h"
#include "library.h"
#include "module_decoder.h"

namespace tav::audio {

uint32_t Library::load_music(std::unique_ptr<ByteSource> source, uint32_t flags, unsigned freq) {
  if (!source) return fail(BASS_ERROR_FILEOPEN, 0u);
  if (!(flags & BASS_MUSIC_DECODE)) return fail(BASS_ERROR_NOTAVAIL, 0u);  // only decoding channels
  if (freq == 0) {
    // the current device's rate; without an initialised device the library's default
    std::lock_guard lock(devices_mutex_);
    freq = current_ < slots_.size() && slots_[current_].device ? slots_[current_].device->rate() : kDefaultRate;
  }
  ModuleOptions options;
  options.rate = freq;
  options.mono = (flags & BASS_MUSIC_MONO) != 0;
  options.prescan = (flags & BASS_MUSIC_PRESCAN) != 0;
  options.ramping = (flags & BASS_MUSIC_RAMPS) ? 2 : (flags & BASS_MUSIC_RAMP) ? 1 : 0;
  options.interpolation = (flags & BASS_MUSIC_NONINTER) ? 0 : (flags & BASS_MUSIC_SINCINTER) ? 2 : 1;
  int error = BASS_OK;
  auto decoder = open_module(*source, options, error);
  if (!decoder) return fail(error, 0u);
  return register_channel(std::make_shared<FileStream>(std::move(decoder), flags & ~BASS_SAMPLE_8BITS));
}

}  // namespace tav::audio
