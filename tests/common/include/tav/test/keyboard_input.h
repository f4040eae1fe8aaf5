// Keys as the keyboard gives them: SendInput puts them in the system's input
// queue, from which they reach the focused window of the foreground window
// (key down, the character the message loop makes of it, key up).
// Header only (Windows).
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string_view>

namespace tav::test {

// Presses and releases one virtual key.
inline bool PressKey(WORD vk) {
  INPUT in[2] = {};
  in[0].type = INPUT_KEYBOARD;
  in[0].ki.wVk = vk;
  in[1] = in[0];
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return SendInput(2, in, sizeof(INPUT)) == 2;
}

// Types digits and capital letters A-Z, one key each (their virtual keys are
// their own codes).
inline bool TypeKeys(std::wstring_view text) {
  for (wchar_t c : text)
    if (!PressKey(WORD(c))) return false;
  return true;
}

}  // namespace tav::test

#endif  // _WIN32
