#include "player/core/key_names.h"

namespace tav::player {

namespace {

using Table = std::array<std::string_view, kLastKeyCode + 1>;

// Names a run of codes from `first` on.
template <size_t N>
constexpr void NameRun(Table& t, int first, const std::string_view (&names)[N]) {
  for (size_t i = 0; i < N; ++i) t[size_t(first) + i] = names[i];
}

constexpr Table MakeKeyNames() {
  Table t{};
  NameRun(t, 9, {"TAB"});
  NameRun(t, 13, {"Enter"});
  NameRun(t, 16, {"Shift", "Ctrl", "Alt", "Pause", "CapsLock"});
  NameRun(t, 27, {"ESC"});
  NameRun(t, 32, {"Space", "PageUp", "PageDown", "End", "Home", "Left", "Up", "Right", "Down"});
  NameRun(t, 45, {"Insert", "Delete"});
  NameRun(t, 48, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
  NameRun(t, 65, {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                  "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"});
  NameRun(t, 91, {"KeyWin"});
  NameRun(t, 93, {"Rightmouse"});
  NameRun(t, 96, {"Num0", "Num1", "Num2", "Num3", "Num4", "Num5", "Num6", "Num7", "Num8", "Num9", "Num*", "Num+"});
  NameRun(t, 109, {"Num-", ".", "Num/", "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12"});
  NameRun(t, 186, {";", "=", ",", "-", ".", "/", "~"});
  NameRun(t, 219, {"[", "\\", "]"});
  return t;
}

}  // namespace

const Table KeyNames = MakeKeyNames();

std::string_view KeyNameOf(int64_t code) {
  if (code < kFirstKeyCode || code > kLastKeyCode) return {};
  return KeyNames[size_t(code)];
}

}  // namespace tav::player
