// A foreign program (plain Win32, its own message loop, no toolkit) loads a
// library built on the toolkit and uses its form.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

using ShowForm = int (*)(HWND);
using Query = intptr_t (*)(int);
using ShowModal = int (*)(HWND);
using Close = void (*)();

template <class F>
F Entry(HMODULE lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

// The host's own loop: GetMessage, TranslateMessage, DispatchMessage.
void HostLoopFor(int ms) {
  const DWORD end = GetTickCount() + ms;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    Sleep(5);
  }
}

TEST(ToolkitInsideLibrary, FormRunsUnderTheHostsLoop) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ForeignHostWindow";
  RegisterClassW(&wc);
  HWND host = CreateWindowExW(0, L"ForeignHostWindow", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                              nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(host);

  HMODULE lib = LoadLibraryW(L"toolkit_in_dll.dll");
  ASSERT_TRUE(lib) << GetLastError();
  auto show = Entry<ShowForm>(lib, "tkd_ShowForm");
  auto query = Entry<Query>(lib, "tkd_Query");
  auto modal = Entry<ShowModal>(lib, "tkd_ShowModal");
  auto close = Entry<Close>(lib, "tkd_Close");
  ASSERT_TRUE(show && query && modal && close);

  ASSERT_EQ(show(host), 1);
  HostLoopFor(100);
  HWND form = reinterpret_cast<HWND>(query(4));
  EXPECT_EQ(query(0), 1);
  EXPECT_EQ(query(6), 1);  // no application window, no main form
  EXPECT_EQ(GetWindow(form, GW_OWNER), host);
  wchar_t caption[64] = {};
  GetWindowTextW(form, caption, 64);
  EXPECT_STREQ(caption, L"插件窗口");
  EXPECT_GT(query(3), 0);  // the slider found its pictures in the library
  EXPECT_EQ(query(7), 1);  // and its cursor

  // Keys go to the form's handler first, from inside the host's loop.
  HWND button = reinterpret_cast<HWND>(query(5));
  PostMessageW(button, WM_KEYDOWN, VK_F5, 1);
  PostMessageW(button, BM_CLICK, 0, 0);
  HostLoopFor(100);
  EXPECT_EQ(query(1), 1);
  EXPECT_EQ(query(2), 1);

  // A modal form of the library disables the host's window too.
  EXPECT_EQ(modal(host), 1);

  close();
  HostLoopFor(50);
  EXPECT_FALSE(IsWindow(form));
  FreeLibrary(lib);
  DestroyWindow(host);
}

}  // namespace
