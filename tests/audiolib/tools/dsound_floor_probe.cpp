// The sound system's own cost of playing, without the library: opens the default
// DirectSound device as the library does (priority level, primary format set, one
// looping 16-bit stereo buffer at the given rate), plays silence for the given number
// of seconds (default 25) and does nothing else. Measured from outside, it is the
// floor under the player's CPU while playing:
//   wine-run dsound_floor_probe.exe [seconds] [rate]
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 25;
  const DWORD rate = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 44100;
  IDirectSound8* ds = nullptr;
  if (FAILED(DirectSoundCreate8(nullptr, &ds, nullptr))) {
    std::printf("no DirectSound device\n");
    return 1;
  }
  ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY);
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = rate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = rate * 4;
  DSBUFFERDESC primary_desc{};
  primary_desc.dwSize = sizeof primary_desc;
  primary_desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* primary = nullptr;
  if (SUCCEEDED(ds->CreateSoundBuffer(&primary_desc, &primary, nullptr))) {
    primary->SetFormat(&format);
    primary->Release();
  }
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
  desc.dwBufferBytes = rate * 2;  // half a second
  desc.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  if (FAILED(ds->CreateSoundBuffer(&desc, &buffer, nullptr))) {
    std::printf("no %lu Hz buffer\n", static_cast<unsigned long>(rate));
    ds->Release();
    return 2;
  }
  void* p = nullptr;
  DWORD n = 0;
  if (SUCCEEDED(buffer->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
    std::memset(p, 0, n);
    buffer->Unlock(p, n, nullptr, 0);
  }
  buffer->Play(0, 0, DSBPLAY_LOOPING);
  std::printf("playing silence at %lu Hz for %d s\n", static_cast<unsigned long>(rate), seconds);
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  buffer->Release();
  ds->Release();
  return 0;
}
