// Initialises every output device as the player does at start-up, then does nothing for
// the given number of seconds (default 25): the library's CPU cost at rest is measured
// from outside, e.g. from the process's /proc/<pid>/stat under Wine.
//   wine-run bass_rest_probe.exe [seconds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "bass.h"

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 25;
  BASS_DEVICEINFO info{};
  int devices = 0;
  for (DWORD device = 0; BASS_GetDeviceInfo(device, &info); ++device)
    if (BASS_Init(static_cast<int>(device), 44100, 0, nullptr, nullptr)) ++devices;
  std::printf("%d devices initialised, resting %d s\n", devices, seconds);
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(seconds) * 1000);
  for (int device = devices - 1; device >= 0; --device)
    if (BASS_SetDevice(static_cast<DWORD>(device))) BASS_Free();
  return 0;
}
