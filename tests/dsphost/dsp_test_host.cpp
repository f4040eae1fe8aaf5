#include "dsp_test_host.h"

#include <cstdint>

namespace tav::test {
namespace {

constexpr const wchar_t* kClassName = L"TavDspTestHost";

void registerClass() {
  static bool done = false;
  if (done) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;  // replaced per window below
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);
  done = true;
}

void removeFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName;
      if (name != L"." && name != L"..") DeleteFileW((folder + L"\\" + name).c_str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::wstring exeFolder() {
  wchar_t buf[MAX_PATH];
  std::wstring path(buf, GetModuleFileNameW(nullptr, buf, MAX_PATH));
  return path.substr(0, path.find_last_of(L"\\/"));
}

double processCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](const FILETIME& t) {
    return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
  };
  return seconds(kernel) + seconds(user);
}

std::wstring readWindowText(HWND window) {
  wchar_t buf[512] = {};
  GetWindowTextW(window, buf, 512);
  return buf;
}

DspTestHost::DspTestHost() {
  registerClass();
  window_ = CreateWindowExW(0, kClassName, L"DSP test host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DspTestHost::windowProc));
}

DspTestHost::~DspTestHost() {
  unload();
  if (window_) DestroyWindow(window_);
  pump();
  if (!folder_.empty()) removeFolder(folder_);
}

LRESULT CALLBACK DspTestHost::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<DspTestHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_USER && self) {
    self->userMessages.push_back({wParam, lParam});
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool DspTestHost::load(const std::wstring& libraryPath) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  static unsigned counter = 0;
  folder_ = std::wstring(temp) + L"dsphost-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++);
  CreateDirectoryW(folder_.c_str(), nullptr);
  const std::wstring name = libraryPath.substr(libraryPath.find_last_of(L"\\/") + 1);
  const std::wstring copy = folder_ + L"\\" + name;
  if (!CopyFileW(libraryPath.c_str(), copy.c_str(), FALSE)) return false;
  library_ = LoadLibraryW(copy.c_str());
  if (!library_) return false;
  // FARPROC is the generic entry type; the export is the C-convention getter
  auto getHeader = reinterpret_cast<winampDSPGetHeaderType>(
      reinterpret_cast<void*>(GetProcAddress(library_, "winampDSPGetHeader2")));
  if (!getHeader) return false;
  header_ = getHeader();
  if (!header_) return false;
  for (int i = 0; winampDSPModule* m = header_->getModule(i); ++i) {
    m->hwndParent = window_;
    m->hDllInstance = library_;
    modules_.push_back(m);
  }
  return true;
}

void DspTestHost::unload() {
  if (library_) FreeLibrary(library_);
  library_ = nullptr;
  header_ = nullptr;
  modules_.clear();
}

void DspTestHost::pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

namespace {
struct WindowSearch {
  const wchar_t* className;
  const wchar_t* caption;
  HWND found;
};

BOOL CALLBACK matchWindow(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (std::wstring(cls) == s->className && readWindowText(hwnd) == s->caption) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND DspTestHost::findWindow(const wchar_t* className, const wchar_t* caption) {
  WindowSearch search{className, caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace tav::test
