// Works a running player from outside, for measurements and demonstrations
// of the real program:
//   wine-run player_remote.exe previous [seconds]   clicks "上一曲" (with a play list of
//                                                   one entry: that entry plays)
//   wine-run player_remote.exe pause [seconds]      clicks the play button while it reads
//                                                   "暂停" (playing: the player pauses)
//   wine-run player_remote.exe close [seconds]      closes the main window
//   wine-run player_remote.exe exit [seconds]       chooses "退出" in the main window's menu,
//                                                   opened by a right click
//   wine-run player_remote.exe rclick X Y           a right click (button down and up) at
//                                                   the main window's client point X, Y;
//                                                   exit 0 when a menu opened (it is closed again)
//   wine-run player_remote.exe open FILE            opens FILE through "快速打开音频文件...";
//                                                   prints the box that follows, if any, and
//                                                   the play button's caption
// Waits up to the given seconds (default 20) for the main window; exit 0 when
// it was found and worked, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

#include <shellapi.h>

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

// A visible top-level window of the given class belonging to the process of
// `of`, with the given caption (any caption when none).
struct TopSearch {
  DWORD process;
  const wchar_t* cls;
  const wchar_t* caption;
  HWND found;
};

BOOL CALLBACK FindTop(HWND h, LPARAM data) {
  auto* search = reinterpret_cast<TopSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t cls[64] = {}, text[256] = {};
  GetClassNameW(h, cls, int(std::size(cls)));
  GetWindowTextW(h, text, int(std::size(text)));
  if (pid != search->process || !IsWindowVisible(h) || std::wcscmp(cls, search->cls) != 0) return TRUE;
  if (search->caption && std::wcscmp(text, search->caption) != 0) return TRUE;
  search->found = h;
  return FALSE;
}

HWND WaitForTop(HWND of, const wchar_t* cls, const wchar_t* caption, int ms) {
  TopSearch search{0, cls, caption, nullptr};
  GetWindowThreadProcessId(of, &search.process);
  for (int waited = 0; waited <= ms; waited += 50) {
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(50);
  }
  return nullptr;
}

void PostRightClick(HWND main, int x, int y) {
  PostMessageW(main, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
  PostMessageW(main, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
}

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

BOOL CALLBACK PrintStatic(HWND child, LPARAM) {
  wchar_t cls[32] = {}, text[1024] = {};
  GetClassNameW(child, cls, int(std::size(cls)));
  GetWindowTextW(child, text, int(std::size(text)));
  if (_wcsicmp(cls, L"Static") == 0 && text[0]) std::printf("box text: %s\n", Utf8(text).c_str());
  return TRUE;
}

// The menu's first item, "快速打开音频文件...", then the dialog's file name and OK.
int OpenThroughDialog(HWND main, const wchar_t* file) {
  PostRightClick(main, 300, 110);
  PostMessageW(main, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(main, WM_KEYDOWN, VK_RETURN, 0);
  HWND dialog = WaitForTop(main, L"#32770", L"打开音频文件", 10000);
  if (!dialog) {
    std::fprintf(stderr, "no open dialog\n");
    return 1;
  }
  Sleep(300);
  // the file name box: a combo box (explorer style) or an edit
  HWND name = GetDlgItem(dialog, 0x47C);
  if (!name) name = GetDlgItem(dialog, 0x480);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file));
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  for (int waited = 0; waited < 10000 && IsWindow(dialog) && IsWindowVisible(dialog); waited += 50) Sleep(50);
  if (HWND box = WaitForTop(main, L"#32770", L"出错啦!", 3000)) {
    EnumChildWindows(box, PrintStatic, 0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    Sleep(300);
  } else {
    std::printf("no box\n");
  }
  wchar_t caption[32] = {};
  GetWindowTextW(FindChildButton(main, L"播放") ? FindChildButton(main, L"播放") : FindChildButton(main, L"暂停"),
                 caption, int(std::size(caption)));
  std::printf("play button: %s\n", Utf8(caption).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: player_remote previous|pause|close|exit [seconds] | rclick X Y | open FILE\n");
    return 2;
  }
  if (std::strcmp(argv[1], "rclick") == 0 || std::strcmp(argv[1], "open") == 0) {
    HWND none = nullptr;
    HWND main = WaitForMainWindow(20, nullptr, none);
    if (!main || argc < 3) return 1;
    if (argv[1][0] == 'o') {
      // the name as given, whatever the code page holds
      int n = 0;
      wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &n);
      return n > 2 ? OpenThroughDialog(main, args[2]) : 1;
    }
    if (argc < 4) return 1;
    PostRightClick(main, std::atoi(argv[2]), std::atoi(argv[3]));
    HWND menu = WaitForTop(main, L"#32768", nullptr, 2000);
    std::printf(menu ? "menu opened\n" : "no menu\n");
    if (menu) PostMessageW(main, WM_KEYDOWN, VK_ESCAPE, 0);
    return menu ? 0 : 1;
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
