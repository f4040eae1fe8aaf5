// The program's start-up and end: library version checks, the output devices,
// the application object and the message loop.
#pragma once

namespace tav::player {

// Initialises every output device the audio library lists (at 44100 Hz), one
// error box per device that fails; the device initialised last stays current.
void InitAllDevices();

// Program entry: the start-up checks, the windows, then the message loop until
// the main window closes (or WM_QUIT arrives). Returns the exit code.
int MainBlock();

}  // namespace tav::player
