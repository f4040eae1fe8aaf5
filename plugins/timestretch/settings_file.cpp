#include "settings_file.h"

#include "control_logic.h"

namespace lentaro {
namespace {

constexpr const wchar_t* kSection = L"DSP_Lentaro";

std::string readKey(const std::wstring& path, const wchar_t* key, const wchar_t* fallback) {
  wchar_t buf[64];
  GetPrivateProfileStringW(kSection, key, fallback, buf, 64, path.c_str());
  std::string s;
  for (const wchar_t* p = buf; *p; ++p) s += *p < 128 ? char(*p) : '?';
  return s;
}

void writeKey(const std::wstring& path, const wchar_t* key, const std::string& value) {
  const std::wstring w(value.begin(), value.end());
  WritePrivateProfileStringW(kSection, key, w.c_str(), path.c_str());
}

void writeIniInt(const std::wstring& path, const wchar_t* key, int value) {
  writeKey(path, key, std::to_string(value));
}

Rect desktopRect() {
  RECT r{};
  GetClientRect(GetDesktopWindow(), &r);
  return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

std::wstring iniPath(HINSTANCE library) {
  wchar_t buf[MAX_PATH + 1] = {};
  const DWORD len = GetModuleFileNameW(library, buf, MAX_PATH);
  std::wstring path(buf, len);
  const size_t slash = path.find_last_of(L"\\/");
  path.erase(slash == std::wstring::npos ? 0 : slash + 1);
  return path + L"plugin.ini";
}

void loadSettings(const std::wstring& path, StretchModule& module) {
  const Settings s = parseSettings(readKey(path, L"Stretch", L"2.00"), readKey(path, L"Pitch", L"0.00"),
                                   readKey(path, L"Bypass", L"0"), readKey(path, L"Mono", L"1"));
  module.stretch = s.stretch;
  module.pitch = s.pitch;
  module.bypass = s.bypass;
  module.mono = s.mono;
}

void saveSettings(const std::wstring& path, const StretchModule& module) {
  writeKey(path, L"Stretch", formatDecimal(module.stretch.load()));
  writeKey(path, L"Pitch", formatDecimal(module.pitch.load()));
  writeIniInt(path, L"Bypass", module.bypass.load());
  writeIniInt(path, L"Mono", module.mono.load());
}

void loadWindowPos(const std::wstring& path, HWND dialog, int& posX, int& posY) {
  const Point saved{int(GetPrivateProfileIntW(kSection, L"pos_x", -1, path.c_str())),
                    int(GetPrivateProfileIntW(kSection, L"pos_y", -1, path.c_str()))};
  const auto p = clampDialogPosition(saved, desktopRect());
  if (!p) return;
  posX = p->x;
  posY = p->y;
  SetWindowPos(dialog, nullptr, p->x, p->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void saveWindowPos(const std::wstring& path, int posX, int posY) {
  const auto p = clampDialogPosition({posX, posY}, desktopRect());
  if (!p) return;
  writeIniInt(path, L"pos_x", p->x);
  writeIniInt(path, L"pos_y", p->y);
}

}  // namespace lentaro
