#include "player/win32/ansi_text.h"

#include <windows.h>

namespace tav::player {

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring out(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), out.data(), n);
  return out;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

namespace {

// The 8-bit text when it reads back as the same characters.
bool SurvivesNarrowing(std::wstring_view text, const std::string& narrow) { return AnsiToWide(narrow) == text; }

}  // namespace

std::string AnsiFileName(std::wstring_view path) {
  std::string narrow = WideToAnsi(path);
  if (SurvivesNarrowing(path, narrow)) return narrow;
  const std::wstring whole(path);
  DWORD n = GetShortPathNameW(whole.c_str(), nullptr, 0);
  if (n == 0) return narrow;
  std::wstring shortPath(n, L'\0');
  n = GetShortPathNameW(whole.c_str(), shortPath.data(), n);
  shortPath.resize(n);
  std::string shortNarrow = WideToAnsi(shortPath);
  return n > 0 && SurvivesNarrowing(shortPath, shortNarrow) ? shortNarrow : narrow;
}

std::wstring ShownFileName(std::string_view path) {
  std::wstring name = AnsiToWide(path);
  // Only a path with a short name in it is looked up on the disk.
  if (name.find(L'~') != std::wstring::npos) {
    const DWORD n = GetLongPathNameW(name.c_str(), nullptr, 0);
    std::wstring longName(n, L'\0');
    if (n > 0 && GetLongPathNameW(name.c_str(), longName.data(), n) == n - 1) {
      longName.resize(n - 1);
      name = std::move(longName);
    }
  }
  const auto cut = name.find_last_of(L"\\:");
  return cut == std::wstring::npos ? name : name.substr(cut + 1);
}

}  // namespace tav::player
