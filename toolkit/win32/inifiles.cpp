#include "toolkit/win32/inifiles.h"

#include "toolkit/core/ini_values.h"

namespace tav {

namespace {

// GetPrivateProfileString into a buffer that grows until the answer fits.
std::wstring Profile(const wchar_t* section, const wchar_t* key, const wchar_t* fallback, const std::wstring& file,
                     bool list) {
  std::wstring buf(512, L'\0');
  for (;;) {
    const DWORD n = GetPrivateProfileStringW(section, key, fallback, buf.data(), static_cast<DWORD>(buf.size()),
                                             file.c_str());
    if (n < buf.size() - (list ? 2 : 1)) {
      buf.resize(n);
      return buf;
    }
    buf.assign(buf.size() * 2, L'\0');
  }
}

std::vector<std::wstring> SplitNulList(const std::wstring& s) {
  std::vector<std::wstring> out;
  size_t start = 0;
  while (start < s.size()) {
    const size_t end = s.find(L'\0', start);
    const size_t stop = end == std::wstring::npos ? s.size() : end;
    if (stop > start) out.push_back(s.substr(start, stop - start));
    start = stop + 1;
  }
  return out;
}

}  // namespace

std::wstring TIniFile::ReadString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback) const {
  const std::wstring s(section), k(key), f(fallback);
  return Profile(s.c_str(), k.c_str(), f.c_str(), fileName_, false);
}

int32_t TIniFile::ReadInteger(std::wstring_view section, std::wstring_view key, int32_t fallback) const {
  return IniIntegerOr(Narrow(ReadString(section, key, L"")), fallback);
}

bool TIniFile::ReadBool(std::wstring_view section, std::wstring_view key, bool fallback) const {
  return IniBoolOr(Narrow(ReadString(section, key, L"")), fallback);
}

void TIniFile::Write(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
  // A new file is made UTF-16 (with its byte-order mark), so the profile
  // calls keep every character; an existing file keeps its encoding.
  HANDLE f = CreateFileW(fileName_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(f, bom, 2, &written, nullptr);
    CloseHandle(f);
  }
  if (!WritePrivateProfileStringW(section, key, value, fileName_.c_str()))
    throw EIniFileException("Unable to write to " + Narrow(fileName_) + " (system error " +
                            std::to_string(GetLastError()) + ")");
}

void TIniFile::WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const std::wstring s(section), k(key), v(value);
  Write(s.c_str(), k.c_str(), v.c_str());
}

void TIniFile::WriteInteger(std::wstring_view section, std::wstring_view key, int32_t value) {
  WriteString(section, key, Widen(FormatIniInteger(value)));
}

void TIniFile::WriteBool(std::wstring_view section, std::wstring_view key, bool value) {
  WriteString(section, key, Widen(FormatIniBool(value)));
}

bool TIniFile::SectionExists(std::wstring_view section) const { return !ReadSection(section).empty(); }

bool TIniFile::ValueExists(std::wstring_view section, std::wstring_view key) const {
  for (const auto& k : ReadSection(section))
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, k.c_str(), -1, std::wstring(key).c_str(), -1) == CSTR_EQUAL)
      return true;
  return false;
}

std::vector<std::wstring> TIniFile::ReadSection(std::wstring_view section) const {
  const std::wstring s(section);
  return SplitNulList(Profile(s.c_str(), nullptr, L"", fileName_, true));
}

void TIniFile::EraseSection(std::wstring_view section) {
  const std::wstring s(section);
  Write(s.c_str(), nullptr, nullptr);
}

void TIniFile::DeleteKey(std::wstring_view section, std::wstring_view key) {
  const std::wstring s(section), k(key);
  Write(s.c_str(), k.c_str(), nullptr);
}

}  // namespace tav
