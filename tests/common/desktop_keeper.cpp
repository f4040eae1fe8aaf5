// Holds the Wine desktop open for a whole test session.
//
// Wine closes the default desktop, and its explorer.exe exits, about a second after
// the last process using it has gone; the next process that needs the desktop starts
// explorer.exe again, and that explorer inherits the starting process's output. Under
// ctest that is a test's output pipe, held open until the desktop closes again, so the
// test seems to hang. This process is started with the session, with its output away
// from any test, and uses the desktop until the session's wineserver is stopped.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  GetDesktopWindow();
  Sleep(INFINITE);
  return 0;
}
