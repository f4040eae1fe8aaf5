#include "player/core/key_names.h"

namespace tav::player {

namespace {

constexpr std::array<std::string_view, kLastKeyCode + 1> MakeKeyNames() {
  std::array<std::string_view, kLastKeyCode + 1> t{};
  t[9] = "TAB";
  t[13] = "Enter";
  t[16] = "Shift";
  t[17] = "Ctrl";
  t[18] = "Alt";
  t[19] = "Pause";
  t[20] = "CapsLock";
  t[27] = "ESC";
  t[32] = "Space";
  t[33] = "PageUp";
  t[34] = "PageDown";
  t[35] = "End";
  t[36] = "Home";
  t[37] = "Left";
  t[38] = "Up";
  t[39] = "Right";
  t[40] = "Down";
  t[45] = "Insert";
  t[46] = "Delete";
  constexpr std::string_view digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
  for (int i = 0; i < 10; ++i) t[size_t(48 + i)] = digits[i];
  constexpr std::string_view letters[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
                                          "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
  for (int i = 0; i < 26; ++i) t[size_t(65 + i)] = letters[i];
  t[91] = "KeyWin";
  t[93] = "Rightmouse";
  constexpr std::string_view pad[] = {"Num0", "Num1", "Num2", "Num3", "Num4",
                                      "Num5", "Num6", "Num7", "Num8", "Num9"};
  for (int i = 0; i < 10; ++i) t[size_t(96 + i)] = pad[i];
  t[106] = "Num*";
  t[107] = "Num+";
  t[109] = "Num-";
  t[110] = ".";
  t[111] = "Num/";
  constexpr std::string_view functions[] = {"F1", "F2", "F3", "F4", "F5", "F6",
                                            "F7", "F8", "F9", "F10", "F11", "F12"};
  for (int i = 0; i < 12; ++i) t[size_t(112 + i)] = functions[i];
  t[186] = ";";
  t[187] = "=";
  t[188] = ",";
  t[189] = "-";
  t[190] = ".";
  t[191] = "/";
  t[192] = "~";
  t[219] = "[";
  t[220] = "\\";
  t[221] = "]";
  return t;
}

}  // namespace

const std::array<std::string_view, kLastKeyCode + 1> KeyNames = MakeKeyNames();

std::string_view KeyNameOf(int64_t code) {
  if (code < kFirstKeyCode || code > kLastKeyCode) return {};
  return KeyNames[size_t(code)];
}

}  // namespace tav::player
