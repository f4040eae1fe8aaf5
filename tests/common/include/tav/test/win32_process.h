// Windows test helpers: start a program in a folder of its own, find the
// message boxes it shows, read and answer them, end it. Header only.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace tav::test {

inline std::filesystem::path ExeDir() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  return std::filesystem::path(std::wstring(buf, n)).parent_path();
}

// A fresh folder below the temp folder, removed with the object.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& tag) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    path_ = std::filesystem::path(tmp) /
            (L"tavolen-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount64()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct BoxText {
  HWND hwnd = nullptr;
  std::wstring caption;
  std::wstring text;
  bool stopIcon = false;  // shows the stop (error) icon
  int answer = 0;         // the button a BoxWatcher pressed
};

inline std::wstring WindowText(HWND h) {
  int n = GetWindowTextLengthW(h);
  std::wstring s(size_t(n) + 1, L'\0');
  n = GetWindowTextW(h, s.data(), n + 1);
  s.resize(size_t(n));
  return s;
}

struct TopWindowsQuery {
  DWORD pid;
  std::wstring cls;
  std::vector<HWND> out;
};

// A named procedure: a lambda cannot become the 32-bit build's stdcall callback.
inline BOOL CALLBACK CollectTopWindow(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<TopWindowsQuery*>(lp);
  DWORD p = 0;
  GetWindowThreadProcessId(h, &p);
  if (p != c->pid) return TRUE;
  if (!c->cls.empty()) {
    wchar_t name[64];
    GetClassNameW(h, name, 64);
    if (c->cls != name) return TRUE;
  }
  c->out.push_back(h);
  return TRUE;
}

// Top-level windows of a process (visible or not) with the given class
// ("#32770" for message boxes and dialogs; empty for any).
inline std::vector<HWND> TopWindowsOf(DWORD pid, const std::wstring& cls = L"") {
  TopWindowsQuery query{pid, cls, {}};
  EnumWindows(&CollectTopWindow, reinterpret_cast<LPARAM>(&query));
  return query.out;
}

inline BoxText ReadBox(HWND box) {
  BoxText b;
  b.hwnd = box;
  b.caption = WindowText(box);
  HWND text = GetDlgItem(box, 0xFFFF);  // the message box's text control
  if (text) b.text = WindowText(text);
  HWND icon = GetDlgItem(box, 0x14);  // the icon control (its id differs between systems)
  if (!icon) icon = GetDlgItem(box, 0x440);
  b.stopIcon = icon && reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)) == LoadIconW(nullptr, IDI_HAND);
  return b;
}

// Waits up to `timeout` for a message box (a visible dialog window) of the process.
inline bool WaitForBox(DWORD pid, BoxText* out, std::chrono::milliseconds timeout) {
  const ULONGLONG end = GetTickCount64() + ULONGLONG(timeout.count());
  do {
    for (HWND h : TopWindowsOf(pid, L"#32770")) {
      if (IsWindowVisible(h)) {
        *out = ReadBox(h);
        return true;
      }
    }
    Sleep(20);
  } while (GetTickCount64() < end);
  return false;
}

inline void PressOk(HWND box) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

// A child process, ended (and waited for) with the object.
class ChildProcess {
 public:
  ChildProcess(const std::filesystem::path& exe, const std::filesystem::path& dir) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring cmd = L"\"" + exe.wstring() + L"\"";
    ok_ = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi_);
  }
  ~ChildProcess() {
    if (!ok_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  bool started() const { return ok_; }
  DWORD pid() const { return pi_.dwProcessId; }
  DWORD mainThread() const { return pi_.dwThreadId; }
  // Exit code, or STILL_ACTIVE when it has not ended within the time.
  DWORD WaitExit(std::chrono::milliseconds timeout) {
    if (WaitForSingleObject(pi_.hProcess, DWORD(timeout.count())) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }
  bool PostQuit() { return PostThreadMessageW(pi_.dwThreadId, WM_QUIT, 0, 0) != 0; }

 private:
  PROCESS_INFORMATION pi_{};
  bool ok_ = false;
};

}  // namespace tav::test

#endif  // _WIN32
