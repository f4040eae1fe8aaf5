// The host on Windows against the test plug-in's DLL variants: loading,
// processing, faults, the floating-point control word, the editor in a
// window of ours and the file selector.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

#include "tav/test/win32_process.h"
#include "tav/vst/vst_host.h"
#include "tav/vst/vst_platform.h"
#include "test_plugin.h"
#include "vst_fixture.h"

namespace tav::vst::testing {
namespace {

using namespace std::chrono_literals;

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string PlugInPath(const wchar_t* file) { return Utf8(tav::test::ExeDir() / file); }

// The state record of a loaded variant (nullptr when the library is not loaded).
TTestPlugInState* StateOf(const std::string& path) {
  HMODULE module = GetModuleHandleW(std::filesystem::u8path(path).c_str());
  if (!module) return nullptr;
  auto get = reinterpret_cast<TTestPlugInState* (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "TestPlugInState")));
  return get ? get() : nullptr;
}

int DispatcherCalls(const TTestPlugInState& s) {
  int n = 0;
  for (int i = 0; i < s.callCount && i < kMaxLoggedCalls; ++i) n += s.calls[i].kind == kCallDispatcher;
  return n;
}

// The system's loader, watched: notes whether the test plug-in's editor
// window still existed when its library was freed.
class TWatchingLoader final : public TVstLibraryLoader {
 public:
  TWatchingLoader() : real_(VstLibraryLoader()) { SetVstLibraryLoader(this); }
  ~TWatchingLoader() override { SetVstLibraryLoader(nullptr); }
  bool FileExists(const std::string& path) override { return real_.FileExists(path); }
  void* Load(const std::string& path, std::string& error) override { return real_.Load(path, error); }
  void* FindEntry(void* module, const char* name) override { return real_.FindEntry(module, name); }
  void Free(void* module) override {
    auto get = reinterpret_cast<TTestPlugInState* (*)()>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), "TestPlugInState")));
    if (get && get()->editorWindow && IsWindow(static_cast<HWND>(get()->editorWindow))) editorAliveAtFree = true;
    ++frees;
    real_.Free(module);
  }
  bool editorAliveAtFree = false;
  int frees = 0;

 private:
  TVstLibraryLoader& real_;
};

class Win32PlugInTest : public ::testing::Test {
 protected:
  // A new item opened on TestHalver.dll, and the plug-in's state record.
  TTestPlugInState* OpenHalver(TVstPlugIn*& item) {
    item = &host.VstPlugIns().Add();
    if (!OpenError(*item, halver).empty()) return nullptr;
    return StateOf(halver);
  }
  const std::string halver = PlugInPath(L"TestHalver.dll");
  TVstHost host;
};

TEST_F(Win32PlugInTest, EveryVariantLoadsOrFailsAsItShould) {
  tav::test::TempFolder temp(L"vst");
  const std::string text = Utf8(temp.path() / L"NotAPlugIn.dll");
  std::ofstream(std::filesystem::u8path(text)) << "this is a text file, not a library\r\n";
  struct Case {
    std::string path;
    const char* message;  // empty: opens
    int entry;            // the entry the plug-in saw; -1: none
  } cases[] = {
      {PlugInPath(L"TestHalver.dll"), "", kEntryMain},
      {PlugInPath(L"TestHalverVstMain.dll"), "", kEntryVstPluginMain},
      {PlugInPath(L"TestHalverBadMagic.dll"), "There is no magic in it... failed!", kEntryMain},
      {PlugInPath(L"TestHalverNoEntry.dll"), "不是一个有效的VST插件!", -1},
      {PlugInPath(L"TestHalverFactory.vst3"), "There is no magic in it... failed!", kEntryFactory},
      {text, "不是一个有效的VST插件!", -1},
      {Utf8(temp.path() / L"Missing.dll"), "不是一个有效的VST插件!", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    // Our own reference keeps the library's log readable after the host let it go.
    HMODULE keep = LoadLibraryW(std::filesystem::u8path(c.path).c_str());
    TTestPlugInState* state = StateOf(c.path);

    TVstPlugIn& item = host.VstPlugIns().Add();
    EXPECT_EQ(OpenError(item, c.path), c.message);
    if (state) {
      ASSERT_GE(state->callCount, c.entry >= 0 ? 1 : 0);
      if (c.entry >= 0) {
        EXPECT_EQ(state->calls[0].kind, kCallEntry);
        EXPECT_EQ(state->calls[0].opcode, c.entry);
      }
    }
    if (*c.message) {
      EXPECT_FALSE(item.Active());
      EXPECT_EQ(item.ModuleHandle(), nullptr);
      if (state) {
        EXPECT_EQ(DispatcherCalls(*state), 0);  // nothing is sent to a record without the magic
      }
    } else {
      ASSERT_TRUE(item.Active());
      EXPECT_EQ(item.uID(), "TstH");
      EXPECT_EQ(item.GetEffectName(), "Halver");
      TAVDArrayOfSingleDynArray planes;
      planes.Resize(2, 1152);
      for (std::size_t i = 0; i < 1152; ++i) planes[0][i] = planes[1][i] = 0.5f;
      item.SetBlockSizeAndSampleRate(1152, 44100.0f);
      item.ProcessReplacing(planes.Table(), planes.Table(), 1152);
      EXPECT_EQ(planes[0][0], 0.25f);
      EXPECT_EQ(planes[1][1151], 0.25f);
      item.SetActive(false);
      EXPECT_EQ(item.numParams(), 0);
      EXPECT_EQ(state->liveInstances, 0);  // effClose reached it
      item.UnloadModule();
      EXPECT_EQ(item.numParams(), -1);
    }
    host.VstPlugIns().Delete(host.VstPlugIns().Count() - 1);
    if (keep) FreeLibrary(keep);
    EXPECT_EQ(StateOf(c.path), nullptr) << "the library is still loaded";
  }
}

TEST_F(Win32PlugInTest, AFaultInProcessingIsReportedAndTheHostGoesOn) {
  TVstPlugIn* opened = nullptr;
  TTestPlugInState* state = OpenHalver(opened);
  ASSERT_NE(state, nullptr);
  TVstPlugIn& item = *opened;
  TAVDArrayOfSingleDynArray planes;
  planes.Resize(2, 256);
  state->faultInProcessing = 1;
  try {
    item.ProcessReplacing(planes.Table(), planes.Table(), 256);
    ADD_FAILURE() << "no fault reported";
  } catch (const TVstPlugInFault& fault) {
    EXPECT_EQ(fault.ExceptionCode(), 0xC0000005u);  // access violation
  }
  state->faultInProcessing = 0;
  planes[0][0] = 1.0f;
  item.ProcessReplacing(planes.Table(), planes.Table(), 256);
  EXPECT_EQ(planes[0][0], 0.5f);

  // A fault inside a request gives 0 and nothing else.
  state->faultOpcode = effGetVendorString;
  EXPECT_EQ(item.VendorString(), "");
  state->faultOpcode = -1;
  EXPECT_EQ(item.VendorString(), "Tavolen Tests");
  state->faultInParameters = 1;
  EXPECT_THROW(item.GetParameter(0), TVstPlugInFault);
  state->faultInParameters = 0;
  host.VstPlugIns().Delete(0);
  EXPECT_EQ(StateOf(halver), nullptr);
}

TEST_F(Win32PlugInTest, RequestsRunWithTheHostControlWord) {
  TVstPlugIn* opened = nullptr;
  TTestPlugInState* state = OpenHalver(opened);
  ASSERT_NE(state, nullptr);
  TVstPlugIn& item = *opened;
  const std::uint16_t saved = CurrentFpuControlWord();
  LoadFpuControlWord(0x027F);  // 53-bit precision, as many callers leave it
  const int mark = state->callCount;
  item.GetVstVersion();
  const std::uint16_t inside = state->calls[mark].fpuControl;
  item.CallDispatcher(kVendorSpecific, kHookCallbackFpu, 0x027F);
  const std::uint16_t afterCallback = state->fpuAfterCallback;
  LoadFpuControlWord(saved);
  EXPECT_EQ(inside & ~0x40, 0x133F);  // bit 6 is reserved and reads as 1
  EXPECT_EQ(afterCallback & ~0x40, 0x133F);
}

LRESULT CALLBACK TestWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

HWND MakeTestWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TestWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TavolenVstTestWindow";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"VST test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

TEST_F(Win32PlugInTest, EditorIsAChildWindowAtThePlugInsSizeAndClosesBeforeTheLibraryGoes) {
  for (bool declared : {true, false}) {
    SCOPED_TRACE(declared ? "declared editor" : "undeclared editor");
    TWatchingLoader loader;
    HWND window = MakeTestWindow();
    ASSERT_NE(window, nullptr);
    TVstPlugIn* opened = nullptr;
    TTestPlugInState* state = OpenHalver(opened);
    ASSERT_NE(state, nullptr);
    TVstPlugIn& item = *opened;
    if (!declared) item.VstEffect()->flags &= ~(1 << effFlagsHasEditor);

    ERect rect{};
    item.EditGetRect(rect);
    EXPECT_EQ(item.EditOpen(window), 1);
    EXPECT_TRUE(item.EditVisible());
    HWND editor = static_cast<HWND>(state->editorWindow);
    ASSERT_TRUE(IsWindow(editor));
    EXPECT_EQ(GetParent(editor), window);
    RECT client{};
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right - client.left, rect.right - rect.left);
    EXPECT_EQ(client.bottom - client.top, rect.bottom - rect.top);
    EXPECT_EQ(rect.right - rect.left, kTestEditorWidth);
    EXPECT_EQ(rect.bottom - rect.top, kTestEditorHeight);
    for (int tick = 0; tick < 5; ++tick) {
      Pump();
      item.Idle();
      item.EditIdle();
      Sleep(18);
    }
    EXPECT_EQ(state->editIdleCount, 5);

    if (declared) {
      item.CloseEditor();
      EXPECT_FALSE(IsWindow(editor));
      EXPECT_FALSE(item.EditVisible());
    }
    host.VstPlugIns().Delete(0);  // the undeclared one is closed here, before its library is freed
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(loader.frees, 1);
    EXPECT_FALSE(loader.editorAliveAtFree);
    EXPECT_EQ(StateOf(halver), nullptr);
    Pump();
    DestroyWindow(window);
  }
}

TEST_F(Win32PlugInTest, ACancelledFileSelectorReportsNoFile) {
  TVstPlugIn* opened = nullptr;
  TTestPlugInState* state = OpenHalver(opened);
  ASSERT_NE(state, nullptr);
  TVstPlugIn& item = *opened;
  std::atomic<bool> done{false}, seen{false};
  std::wstring title;
  std::thread user([&] {
    const auto end = std::chrono::steady_clock::now() + 60s;
    while (!done && std::chrono::steady_clock::now() < end) {
      for (HWND h : tav::test::TopWindowsOf(GetCurrentProcessId(), L"#32770")) {
        if (!IsWindowVisible(h)) continue;
        if (!seen) title = tav::test::WindowText(h);
        seen = true;
        PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
      std::this_thread::sleep_for(50ms);
    }
  });
  item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstFileLoad);
  done = true;
  user.join();
  EXPECT_TRUE(seen);
  EXPECT_EQ(title, L"Test plug-in file");
  EXPECT_EQ(state->fileSelectorAnswer, 0);
  EXPECT_EQ(state->fileSelectorReturnPathSet, 0);
  EXPECT_EQ(host.HostFileDialog(), nullptr);
}

}  // namespace
}  // namespace tav::vst::testing
