// Tracker modules (MOD, S3M, XM, IT, MTM and MO3) rendered by libopenmpt as a decoder:
// float frames at a chosen rate, a position in rendered frames and seeking to any frame.
#pragma once

#include <cstdint>
#include <memory>

#include "decoder.h"

namespace tav::audio {

struct ModuleOptions {
  unsigned rate = 44100;
  bool mono = false;
  // Length from the module's duration (BASS_MUSIC_PRESCAN); unknown otherwise.
  bool prescan = false;
  // Volume ramping: 0 = none, 1 = normal (BASS_MUSIC_RAMP), 2 = sensitive (BASS_MUSIC_RAMPS).
  int ramping = 0;
  // Interpolation: 0 = none, 1 = linear (the default), 2 = sinc.
  int interpolation = 1;
};

inline constexpr unsigned kMinModuleRate = 8000;
inline constexpr unsigned kMaxModuleRate = 192000;
// A module is held in memory whole: a larger file whose header says it is one is refused
// with BASS_ERROR_MEM before it is read; a large file that is none is refused from its header.
inline constexpr uint64_t kMaxModuleBytes = 128ull << 20;

// Null with `error` set when the bytes are not a module of the formats above
// (BASS_ERROR_FILEFORM), are too damaged to load, or the rate is refused (BASS_ERROR_FREQ).
std::unique_ptr<Decoder> open_module(ByteSource& source, const ModuleOptions& options, int& error);

// The BASS_CTYPE_MUSIC_* of libopenmpt's type names ("mod", "xm", ...); 0 for other types.
uint32_t module_ctype(const char* type, const char* original_type);
inline bool is_module_ctype(uint32_t ctype) { return (ctype & 0xFFFF0000u) == 0x20000u; }

}  // namespace tav::audio
