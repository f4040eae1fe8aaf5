// The host on Windows against the test plug-in's DLL variants: loading,
// processing, faults, the floating-point control word, the editor in a
// window of ours and the file selector.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "tav/test/box_watcher.h"
#include "tav/test/win32_process.h"
#include "tav/vst/vst_host.h"
#include "tav/vst/vst_platform.h"
#include "tav/vst/vst_text.h"
#include "test_plugin.h"
#include "toolkit/win32/streams.h"
#include "vst_fixture.h"

namespace tav::vst::testing {
namespace {

using namespace std::chrono_literals;

std::wstring PlugInPath(const wchar_t* file) { return (tav::test::ExeDir() / file).wstring(); }

// The state record of a loaded variant (nullptr when the library is not loaded).
TTestPlugInState* StateOf(const std::wstring& path) {
  HMODULE module = GetModuleHandleW(path.c_str());
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
  const std::wstring halver = PlugInPath(L"TestHalver.dll");
  TVstHost host;
};

TEST_F(Win32PlugInTest, EveryVariantLoadsOrFailsAsItShould) {
  tav::test::TempFolder temp(L"vst");
  const std::wstring text = (temp.path() / L"NotAPlugIn.dll").wstring();
  std::ofstream(std::filesystem::path(text)) << "this is a text file, not a library\r\n";
  struct Case {
    std::wstring path;
    const char* message;  // empty: opens
    int entry;            // the entry the plug-in saw; -1: none
  } cases[] = {
      {PlugInPath(L"TestHalver.dll"), "", kEntryMain},
      {PlugInPath(L"TestHalverVstMain.dll"), "", kEntryVstPluginMain},
      {PlugInPath(L"TestHalverBadMagic.dll"), "There is no magic in it... failed!", kEntryMain},
      {PlugInPath(L"TestHalverNoEntry.dll"), "不是一个有效的VST插件!", -1},
      {PlugInPath(L"TestHalverFactory.vst3"), "There is no magic in it... failed!", kEntryFactory},
      {text, "不是一个有效的VST插件!", -1},
      {(temp.path() / L"Missing.dll").wstring(), "不是一个有效的VST插件!", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.path));
    // Our own reference keeps the library's log readable after the host let it go.
    HMODULE keep = LoadLibraryW(c.path.c_str());
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
  tav::test::BoxWatcher boxes;
  boxes.Answer(L"Test plug-in file", IDCANCEL);
  item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstFileLoad);
  const auto seen = boxes.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, L"Test plug-in file");
  EXPECT_EQ(seen[0].answer, IDCANCEL);
  EXPECT_EQ(state->fileSelectorAnswer, 0);
  EXPECT_EQ(state->fileSelectorReturnPathSet, 0);
  EXPECT_EQ(host.HostFileDialog(), nullptr);
}

// The user of a file dialog: types `name` into the first visible dialog's
// file name box and presses OK; the dialog's caption is kept.
class TDialogUser {
 public:
  explicit TDialogUser(std::wstring name) : name_(std::move(name)) {
    thread_ = std::thread([this] {
      const auto end = std::chrono::steady_clock::now() + 60s;
      while (!done && std::chrono::steady_clock::now() < end) {
        for (HWND h : tav::test::TopWindowsOf(GetCurrentProcessId(), L"#32770")) {
          if (!IsWindowVisible(h) || seen) continue;
          std::this_thread::sleep_for(200ms);  // let the dialog fill its controls
          caption = tav::test::WindowText(h);
          for (int id : {0x47C, 0x480}) SetDlgItemTextW(h, id, name_.c_str());
          seen = true;
          PostMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        std::this_thread::sleep_for(50ms);
      }
    });
  }
  ~TDialogUser() { Finish(); }
  void Finish() {
    done = true;
    if (thread_.joinable()) thread_.join();
  }
  std::atomic<bool> done{false}, seen{false};
  std::wstring caption;

 private:
  std::wstring name_;
  std::thread thread_;
};

std::string Ansi(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

TEST_F(Win32PlugInTest, FileSelectorTextsAreInTheSystemCodePage) {
  TVstPlugIn* opened = nullptr;
  TTestPlugInState* state = OpenHalver(opened);
  ASSERT_NE(state, nullptr);
  TVstPlugIn& item = *opened;
  tav::test::TempFolder temp(L"vst-texts");
  // A name the code page spells with a byte above 127 (é is in the Western
  // and in the Chinese code pages).
  const std::wstring file = (temp.path() / L"caf\u00e9.wav").wstring();
  std::ofstream(std::filesystem::path(file)) << "RIFF";
  const std::wstring title = L"Choose caf\u00e9";
  std::snprintf(state->fileSelectorTitle, sizeof state->fileSelectorTitle, "%s", Ansi(title).c_str());
  std::snprintf(state->fileSelectorFolder, sizeof state->fileSelectorFolder, "%s", Ansi(temp.path().wstring()).c_str());
  for (std::int32_t ownBuffer : {0, 260}) {
    SCOPED_TRACE(ownBuffer);
    state->fileSelectorOwnBuffer = ownBuffer;
    TDialogUser user(L"caf\u00e9.wav");
    item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstFileLoad);
    user.Finish();
    EXPECT_TRUE(user.seen);
    EXPECT_EQ(user.caption, title);
    EXPECT_EQ(state->fileSelectorAnswer, 1);
    EXPECT_EQ(state->fileSelectorBufferKept, ownBuffer ? 1 : 0);
    // The plug-in can open what it was handed.
    EXPECT_EQ(state->fileSelectorPath, Ansi(file));
    EXPECT_NE(GetFileAttributesA(state->fileSelectorPath), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(host.HostFileDialog(), nullptr);
  }

  // A name no code page spells whole (Hebrew and Chinese): the plug-in gets
  // the file's short name, which it can open.
  const std::wstring foreign = (temp.path() / L"\u05d0\u4f60.wav").wstring();
  std::ofstream(std::filesystem::path(foreign)) << "RIFF";
  {
    state->fileSelectorOwnBuffer = 0;
    TDialogUser user(L"\u05d0\u4f60.wav");
    item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstFileLoad);
    user.Finish();
    std::printf("code page %u: the plug-in got \"%s\"\n", GetACP(), state->fileSelectorPath);
    EXPECT_EQ(state->fileSelectorAnswer, 1);
    EXPECT_NE(GetFileAttributesA(state->fileSelectorPath), INVALID_FILE_ATTRIBUTES);
  }
  std::filesystem::remove(foreign);

  // Several files at once.
  std::ofstream(std::filesystem::path(temp.path() / L"two.wav")) << "RIFF";
  state->fileSelectorOwnBuffer = 0;
  TDialogUser user(L"\"caf\u00e9.wav\" \"two.wav\"");
  item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstMultipleFilesLoad);
  user.Finish();
  EXPECT_EQ(state->fileSelectorAnswer, 1);
  ASSERT_EQ(state->fileSelectorCount, 2);
  std::vector<std::string> paths = {state->fileSelectorPaths[0], state->fileSelectorPaths[1]};
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> expected = {Ansi(file), Ansi((temp.path() / L"two.wav").wstring())};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(paths, expected);
}

TEST_F(Win32PlugInTest, PresetFileErrorsAreTheFileStreamsOwn) {
  TVstPlugIn* opened = nullptr;
  ASSERT_NE(OpenHalver(opened), nullptr);
  TVstPlugIn& item = *opened;
  tav::test::TempFolder temp(L"vst-fxp");
  EXPECT_THROW(item.SavePresetToFile((temp.path() / L"no folder" / L"x.fxp").wstring()), tav::EFCreateError);
  const std::wstring locked = (temp.path() / L"\u4f60\u597d.fxp").wstring();  // a name in UTF-16 only
  item.SavePresetToFile(locked);
  EXPECT_GT(std::filesystem::file_size(locked), 56u);
  HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  EXPECT_THROW(item.LoadPresetFromFile(locked), tav::EFOpenError);
  CloseHandle(hold);
  item.LoadPresetFromFile(locked);
}

TEST_F(Win32PlugInTest, AnEditorThatFaultsWhileOpeningIsReported) {
  TVstPlugIn* opened = nullptr;
  TTestPlugInState* state = OpenHalver(opened);
  ASSERT_NE(state, nullptr);
  HWND window = MakeTestWindow();
  state->faultOpcode = effEditOpen;
  EXPECT_EQ(opened->EditOpen(window), 0);
  EXPECT_FALSE(opened->EditVisible());
  EXPECT_EQ(opened->EditOpenFault(), 0xC0000005u);
  state->faultOpcode = -1;
  host.VstPlugIns().Delete(0);
  DestroyWindow(window);
}

}  // namespace
}  // namespace tav::vst::testing
