#include <windows.h>

#include "tav/player/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return tav::player::MainBlock(); }
