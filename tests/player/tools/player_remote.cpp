// Works a running player from outside, for measurements of the real program:
//   wine-run player_remote.exe previous [seconds]   clicks "上一曲" (with a play list of
//                                                   one entry: that entry plays)
//   wine-run player_remote.exe pause [seconds]      clicks the play button while it reads
//                                                   "暂停" (playing: the player pauses)
//   wine-run player_remote.exe close [seconds]      closes the main window
//   wine-run player_remote.exe exit [seconds]       chooses "退出" in the main window's menu,
//                                                   opened by a right click
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

HWND FindChildButton(HWND main, const wchar_t* caption) {
  ButtonSearch search{caption, nullptr};
  EnumChildWindows(main, FindButton, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The main window has its caption before its buttons exist: with a caption to
// find, waits for that button as well.
HWND WaitForMainWindow(int seconds, const wchar_t* button, HWND& found) {
  HWND main = nullptr;
  for (int waited = 0; waited < seconds * 10; ++waited) {
    main = FindWindowW(nullptr, kMainCaption);
    if (main && (!button || (found = FindChildButton(main, button)))) return main;
    Sleep(100);
  }
  return main;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: player_remote previous|pause|close|exit [seconds]\n");
    return 2;
  }
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
  const bool close = std::strcmp(argv[1], "close") == 0;
  const bool exit = std::strcmp(argv[1], "exit") == 0;
  const wchar_t* caption = std::strcmp(argv[1], "previous") == 0 ? L"上一曲"
                           : std::strcmp(argv[1], "pause") == 0  ? L"暂停"
                                                                 : nullptr;
  if (!close && !exit && !caption) {
    std::fprintf(stderr, "unknown command %s\n", argv[1]);
    return 2;
  }
  HWND button = nullptr;
  HWND main = WaitForMainWindow(seconds, caption, button);
  if (!main) {
    std::fprintf(stderr, "no main window\n");
    return 1;
  }
  if (close) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    return 0;
  }
  if (exit) {
    // The right click opens the menu; its own loop then takes the keys:
    // up from the top wraps to the last item, "退出".
    const LPARAM at = MAKELPARAM(300, 110);
    PostMessageW(main, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageW(main, WM_RBUTTONUP, 0, at);
    PostMessageW(main, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(main, WM_KEYDOWN, VK_RETURN, 0);
    return 0;
  }
  if (!button) {
    std::fprintf(stderr, "no button\n");
    return 1;
  }
  SendMessageW(button, BM_CLICK, 0, 0);
  return 0;
}
