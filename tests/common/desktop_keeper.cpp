// Holds the Wine desktop open for a whole test session.
//
// Wine closes the default desktop, and its explorer.exe exits, about a second after
// the last process using it has gone; the next process that needs the desktop starts
// explorer.exe again, and that explorer inherits the starting process's output. Under
// ctest that is a test's output pipe, held open until the desktop closes again, so the
// test seems to hang. This process is started with the session, with its output away
// from any test, and uses the desktop until the session's wineserver is stopped.
//
// Its command line names a file it creates once it holds the desktop, so the session
// can wait for this desktop and not for another session's.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  GetDesktopWindow();
  std::string ready = commandLine ? commandLine : "";
  if (ready.size() >= 2 && ready.front() == '"' && ready.back() == '"') ready = ready.substr(1, ready.size() - 2);
  if (!ready.empty()) {
    HANDLE file = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  Sleep(INFINITE);
  return 0;
}
