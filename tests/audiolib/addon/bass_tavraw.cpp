// A small add-on for the tests: "Tavolen raw" files (*.tvr), 16-bit PCM behind a 16-byte
// header: "TVRW", rate (32-bit), channels (16-bit), 0 (16-bit), frame count (32-bit), all
// little-endian.
#include <cstdint>
#include <cstring>
#include <new>

#include "bass_addon.h"

namespace {

constexpr DWORD kCtype = 0x1F200;

struct Raw {
  TAV_ADDON_FILE file;
  DWORD chans;
  QWORD frames;
  QWORD pos = 0;
};

uint32_t le(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

void* TAVADDONCALL raw_open(const TAV_ADDON_FILE* file, TAV_ADDON_STREAM* stream) {
  uint8_t h[16];
  if (file->read(file->handle, h, 16) != 16 || std::memcmp(h, "TVRW", 4) != 0) return nullptr;
  const DWORD chans = le(h + 8, 2);
  const QWORD frames = le(h + 12, 4);
  if (chans == 0 || file->size(file->handle) < 16 + frames * chans * 2) return nullptr;
  stream->freq = le(h + 4, 4);
  stream->chans = chans;
  stream->ctype = kCtype;
  stream->origres = 16;
  return new (std::nothrow) Raw{*file, chans, frames};
}

DWORD TAVADDONCALL raw_read(void* d, float* buffer, DWORD frames) {
  auto* r = static_cast<Raw*>(d);
  if (frames > r->frames - r->pos) frames = static_cast<DWORD>(r->frames - r->pos);
  int16_t block[512];
  DWORD done = 0;
  while (done < frames) {
    const DWORD n = (frames - done) * r->chans < 512 ? (frames - done) * r->chans : 512 / r->chans * r->chans;
    const DWORD got = r->file.read(r->file.handle, block, n * 2) / 2;
    for (DWORD i = 0; i < got; ++i) buffer[done * r->chans + i] = block[i] / 32768.0f;
    done += got / r->chans;
    if (got < n) break;
  }
  r->pos += done;
  return done;
}

QWORD TAVADDONCALL raw_length(void* d) { return static_cast<Raw*>(d)->frames; }

BOOL TAVADDONCALL raw_seek(void* d, QWORD frame) {
  auto* r = static_cast<Raw*>(d);
  if (frame > r->frames || !r->file.seek(r->file.handle, 16 + frame * r->chans * 2)) return FALSE;
  r->pos = frame;
  return TRUE;
}

void TAVADDONCALL raw_close(void* d) { delete static_cast<Raw*>(d); }

const BASS_PLUGINFORM kFormats[] = {{kCtype, "Tavolen raw", "*.tvr"}};
const TAV_ADDON kAddon = {sizeof(TAV_ADDON), 0x01000000, 1, kFormats, raw_open, raw_read, raw_length, raw_seek, raw_close};

}  // namespace

#ifdef _WIN32
#define TAV_EXPORT __declspec(dllexport)
#else
#define TAV_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TAV_EXPORT const TAV_ADDON* TAVADDONCALL TAV_GetAddon(DWORD interface_version) {
  return interface_version == TAV_ADDON_INTERFACE ? &kAddon : nullptr;
}
