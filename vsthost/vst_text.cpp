#include "tav/vst/vst_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <vector>

namespace tav::vst {

#ifdef _WIN32

namespace {
std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}
std::string FromWide(UINT codePage, std::wstring_view text, bool* lossy = nullptr) {
  if (lossy) *lossy = false;
  if (text.empty()) return {};
  BOOL usedDefault = FALSE;
  BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, used);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, used);
  if (lossy) *lossy = usedDefault != FALSE;
  return out;
}
}  // namespace

std::wstring PlugInTextToWide(std::string_view text) { return ToWide(CP_ACP, text); }
std::string WideToPlugInText(std::wstring_view text) { return FromWide(CP_ACP, text); }
std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }
std::string WideToUtf8(std::wstring_view text) { return FromWide(CP_UTF8, text); }

std::string PathToPlugInText(const std::wstring& path) {
  bool lossy = false;
  std::string text = FromWide(CP_ACP, path, &lossy);
  if (!lossy) return text;
  const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return text;
  std::vector<wchar_t> shortName(n, L'\0');
  if (GetShortPathNameW(path.c_str(), shortName.data(), n) == 0) return text;
  std::string alias = FromWide(CP_ACP, shortName.data(), &lossy);
  return lossy ? text : alias;
}

#else

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring Utf8ToWide(std::string_view text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + (extra == 0 ? 1 : 0);
    for (int k = 1; ok && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      ok = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (!ok) {
      out += L'\uFFFD';
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(c);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::wstring PlugInTextToWide(std::string_view text) { return Utf8ToWide(text); }
std::string WideToPlugInText(std::wstring_view text) { return WideToUtf8(text); }
std::string PathToPlugInText(const std::wstring& path) { return WideToUtf8(path); }

#endif

}  // namespace tav::vst
