// A watcher for the message boxes a test makes its own process show, so that
// no box hangs a test and none goes unnoticed. Header only (Windows).
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tav/test/win32_process.h"

namespace tav::test {

// Finds every message box (any visible dialog window) of this process from a
// thread of its own, keeps what it said and answers it: with the button
// Answer() chose for its caption, else with OK. The test takes the boxes it
// expected with Take(); ExpectNoOthers() fails it for every box not taken.
// Boxes shown inside a modal loop of the test's thread are answered alike.
class BoxWatcher {
 public:
  BoxWatcher() : thread_([this] { Run(); }) {}
  ~BoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  // Boxes captioned `caption` are answered with `button` from now on
  // (IDOK, IDCANCEL, IDYES, IDNO, ...).
  void Answer(const std::wstring& caption, int button) {
    std::lock_guard<std::mutex> lock(mutex_);
    buttons_[caption] = button;
  }
  // The boxes seen (and answered) since the last Take, oldest first.
  std::vector<BoxText> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(boxes_, {});
  }
  // How many boxes wait to be taken.
  size_t Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_.size();
  }
  // Fails the running test once for every box it did not take.
  void ExpectNoOthers() {
    for (const BoxText& b : Take())
      ADD_FAILURE() << "a message box nobody expected: " << Utf8(b.caption) << ": " << Utf8(b.text);
  }

  static std::string Utf8(const std::wstring& s) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
    return out;
  }

 private:
  void Run() {
    std::map<HWND, ULONGLONG> pressed;  // box -> when it was last answered
    while (!stop_) {
      for (auto it = pressed.begin(); it != pressed.end();)
        it = IsWindow(it->first) && IsWindowVisible(it->first) ? std::next(it) : pressed.erase(it);
      for (HWND h : TopWindowsOf(GetCurrentProcessId(), L"#32770")) {
        if (!IsWindowVisible(h)) continue;
        const auto seen = pressed.find(h);
        // a box still shown a second after its answer is answered again, not counted again
        if (seen != pressed.end() && GetTickCount64() - seen->second < 1000) continue;
        BoxText box = ReadBox(h);
        {
          std::lock_guard<std::mutex> lock(mutex_);
          const auto chosen = buttons_.find(box.caption);
          box.answer = chosen == buttons_.end() ? IDOK : chosen->second;
          if (seen == pressed.end()) boxes_.push_back(box);
        }
        PostMessageW(h, WM_COMMAND, MAKEWPARAM(box.answer, BN_CLICKED), LPARAM(GetDlgItem(h, box.answer)));
        pressed[h] = GetTickCount64();
      }
      Sleep(20);
    }
  }

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::wstring, int> buttons_;
  std::vector<BoxText> boxes_;
  std::thread thread_;  // last: starts once the rest is built
};

}  // namespace tav::test

#endif  // _WIN32
