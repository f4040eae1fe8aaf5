#include "dsound_ring.h"

#include <cstring>

namespace tav::audio {

bool open_playing_ring(const GUID* guid, HWND hwnd, unsigned freq, DWORD ring_bytes, IDirectSound8*& ds_out,
                       IDirectSoundBuffer*& buffer_out) {
  IDirectSound8* ds = nullptr;
  if (FAILED(DirectSoundCreate8(guid, &ds, nullptr))) return false;
  if (FAILED(ds->SetCooperativeLevel(hwnd, DSSCL_PRIORITY))) {
    ds->Release();
    return false;
  }
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = freq;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = freq * 4;

  DSBUFFERDESC primary_desc{};
  primary_desc.dwSize = sizeof primary_desc;
  primary_desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  if (SUCCEEDED(ds->CreateSoundBuffer(&primary_desc, &primary, nullptr))) {
    primary->SetFormat(&format);  // best effort: DirectSound converts otherwise
    primary->Release();
  }

  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
  desc.dwBufferBytes = ring_bytes;
  desc.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  if (FAILED(ds->CreateSoundBuffer(&desc, &buffer, nullptr))) {
    ds->Release();
    return false;
  }
  void* p = nullptr;
  DWORD n = 0;
  if (SUCCEEDED(buffer->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
    std::memset(p, 0, n);
    buffer->Unlock(p, n, nullptr, 0);
  }
  if (FAILED(buffer->Play(0, 0, DSBPLAY_LOOPING))) {
    buffer->Release();
    ds->Release();
    return false;
  }
  ds_out = ds;
  buffer_out = buffer;
  return true;
}

}  // namespace tav::audio
