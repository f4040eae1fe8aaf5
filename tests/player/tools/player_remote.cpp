// Works a running player from outside, for measurements of the real program:
//   wine-run player_remote.exe previous [seconds]   clicks "上一曲" (with a play list of
//                                                   one entry: that entry plays)
//   wine-run player_remote.exe close [seconds]      closes the main window
// Waits up to the given seconds (default 20) for the main window; exit 0 when
// it was found and worked, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace {

const wchar_t kMainCaption[] = L"Tavolen V1.5";

struct ButtonSearch {
  const wchar_t* caption;
  HWND found;
};

BOOL CALLBACK FindButton(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<ButtonSearch*>(data);
  wchar_t text[64] = {};
  GetWindowTextW(child, text, int(std::size(text)));
  if (std::wcscmp(text, search->caption) != 0) return TRUE;
  search->found = child;
  return FALSE;
}

HWND WaitForMainWindow(int seconds) {
  for (int waited = 0; waited < seconds * 10; ++waited) {
    if (HWND main = FindWindowW(nullptr, kMainCaption)) return main;
    Sleep(100);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: player_remote previous|close [seconds]\n");
    return 2;
  }
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
  HWND main = WaitForMainWindow(seconds);
  if (!main) {
    std::fprintf(stderr, "no main window\n");
    return 1;
  }
  if (std::strcmp(argv[1], "close") == 0) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    return 0;
  }
  if (std::strcmp(argv[1], "previous") == 0) {
    ButtonSearch search{L"上一曲", nullptr};
    EnumChildWindows(main, FindButton, reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
      std::fprintf(stderr, "no button\n");
      return 1;
    }
    SendMessageW(search.found, BM_CLICK, 0, 0);
    return 0;
  }
  std::fprintf(stderr, "unknown command %s\n", argv[1]);
  return 2;
}
