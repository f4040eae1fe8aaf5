// The sound system's own cost of playing, without the library's threads: opens the
// default DirectSound device as the library does, plays its ring of silence for the
// given number of seconds (default 25) and does nothing else. Measured from outside,
// it is the floor under the player's CPU while playing:
//   wine-run dsound_floor_probe.exe [seconds] [rate]
#include <cstdio>
#include <cstdlib>

#include "dsound_ring.h"

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 25;
  const unsigned rate = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 44100;
  IDirectSound8* ds = nullptr;
  IDirectSoundBuffer* buffer = nullptr;
  if (!tav::audio::open_playing_ring(nullptr, GetDesktopWindow(), rate, rate * 2, ds, buffer)) {
    std::printf("no DirectSound device at %u Hz\n", rate);
    return 1;
  }
  std::printf("playing silence at %u Hz for %d s\n", rate, seconds);
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  buffer->Release();
  ds->Release();
  return 0;
}
