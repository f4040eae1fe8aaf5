// A foreign program (plain Win32, its own message loop, no toolkit) loads a
// library built on the toolkit and uses its form.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tav/test/module_windows.h"
#include "tav/test/win32_process.h"

namespace {

using tav::test::Entry;
using tav::test::HostLoopFor;

using ShowForm = int (*)(HWND);
using Query = intptr_t (*)(int);
using ShowModal = int (*)(HWND);
using Close = void (*)();

HWND MakeHostWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ForeignHostWindow";
  RegisterClassW(&wc);
  return CreateWindowExW(0, L"ForeignHostWindow", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

TEST(ToolkitInsideLibrary, FormRunsUnderTheHostsLoop) {
  HWND host = MakeHostWindow();
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

  // A modal form of the library disables the host's window too, and so does
  // its exception box: a host ended under it would unload the code it
  // returns into.
  EXPECT_EQ(modal(host), 1);
  auto error = Entry<ShowModal>(lib, "tkd_ShowError");
  ASSERT_TRUE(error);
  EXPECT_EQ(error(host), 1);

  close();
  HostLoopFor(50);
  EXPECT_FALSE(IsWindow(form));
  FreeLibrary(lib);
  DestroyWindow(host);
}

using tav::test::ClassLeft;
using tav::test::WindowsOf;

struct Plugin {
  HMODULE lib = nullptr;
  ShowForm show = nullptr;
  Query query = nullptr;
  Close close = nullptr;
  explicit Plugin(const std::wstring& file) : lib(LoadLibraryW(file.c_str())) {
    if (!lib) return;
    show = Entry<ShowForm>(lib, "tkd_ShowForm");
    query = Entry<Query>(lib, "tkd_Query");
    close = Entry<Close>(lib, "tkd_Close");
  }
  bool Ok() const { return lib && show && query && close; }
};

// Shows the library's form with its running timer and utility window, closes
// it, and checks that the library holds no window, class or timer any more.
void ShowAndClose(Plugin& p, HWND host) {
  ASSERT_EQ(p.show(host), 1);
  HWND notifications = reinterpret_cast<HWND>(p.query(9));
  PostMessageW(notifications, WM_USER + 0x400, 0, 0);
  HostLoopFor(150);
  EXPECT_EQ(p.query(0), 1);
  EXPECT_GT(p.query(8), 0);  // the timer ran
  EXPECT_EQ(p.query(10), 1);
  EXPECT_TRUE(ClassLeft(p.lib, L"TavolenWindow"));
  p.close();
  EXPECT_EQ(WindowsOf(p.lib), 0u);  // form, utility window and the timers' window
  EXPECT_FALSE(ClassLeft(p.lib, L"TavolenWindow"));
  EXPECT_FALSE(ClassLeft(p.lib, L"TavolenUtilityWindow"));
}

TEST(ToolkitInsideLibrary, LoadShowFreeCyclesLeaveNothingBehind) {
  HWND host = MakeHostWindow();
  ASSERT_TRUE(host);
  std::vector<HMODULE> bases;
  for (int cycle = 0; cycle < 2; ++cycle) {
    Plugin p(L"toolkit_in_dll.dll");
    ASSERT_TRUE(p.Ok()) << GetLastError();
    bases.push_back(p.lib);
    ShowAndClose(p, host);
    ASSERT_TRUE(FreeLibrary(p.lib));
    EXPECT_FALSE(ClassLeft(p.lib, L"TavolenWindow"));
    HostLoopFor(50);  // the host's loop goes on without the library's hook
  }
  // A second copy under another name takes the library's place in memory, so
  // the third load lands at another base; both run side by side.
  tav::test::TempFolder folder(L"toolkit-copy");
  const std::wstring copyFile = (folder.path() / L"toolkit_in_dll_copy.dll").wstring();
  ASSERT_TRUE(CopyFileW(L"toolkit_in_dll.dll", copyFile.c_str(), FALSE));
  Plugin copy(copyFile);
  ASSERT_TRUE(copy.Ok()) << GetLastError();
  Plugin third(L"toolkit_in_dll.dll");
  ASSERT_TRUE(third.Ok()) << GetLastError();
  for (HMODULE earlier : bases) EXPECT_NE(third.lib, earlier);
  ASSERT_EQ(copy.show(host), 1);
  ShowAndClose(third, host);
  EXPECT_EQ(copy.query(0), 1);  // the copy's form is untouched by the other's cleanup
  HostLoopFor(100);
  EXPECT_GT(copy.query(8), 0);
  copy.close();
  EXPECT_EQ(WindowsOf(copy.lib), 0u);
  EXPECT_FALSE(ClassLeft(copy.lib, L"TavolenWindow"));
  ASSERT_TRUE(FreeLibrary(third.lib));
  ASSERT_TRUE(FreeLibrary(copy.lib));
  HostLoopFor(50);
  DestroyWindow(host);
}

}  // namespace
