#include "win32_platform.h"

#include <vector>

#include "toolkit/core/text.h"

namespace brindle {

std::wstring Wide(const std::string& utf8) {
  const std::u16string w = tav::Utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

std::string Narrow(const std::wstring& wide) { return tav::Utf16ToUtf8(std::u16string(wide.begin(), wide.end())); }

ProfileStore::ProfileStore(std::string file, std::string section) : file_(Wide(file)), section_(Wide(section)) {}

std::optional<std::string> ProfileStore::Read(std::string_view key) {
  const std::wstring k = Wide(std::string(key));
  // a default no file holds tells a missing key from an empty one
  static const wchar_t kMissing[] = L"\x01\x02missing";
  std::vector<wchar_t> buf(512);
  for (;;) {
    const DWORD n = GetPrivateProfileStringW(section_.c_str(), k.c_str(), kMissing, buf.data(), DWORD(buf.size()),
                                             file_.c_str());
    if (n + 1 < buf.size() || buf.size() > (1u << 20)) {
      const std::wstring value(buf.data(), n);
      if (value == kMissing) return std::nullopt;
      return Narrow(value);
    }
    buf.resize(buf.size() * 2);
  }
}

void ProfileStore::Write(std::string_view key, std::string_view value) {
  WritePrivateProfileStringW(section_.c_str(), Wide(std::string(key)).c_str(), Wide(std::string(value)).c_str(),
                             file_.c_str());
}

bool Win32Disk::MakeFolders(const std::string& folder) {
  const std::wstring w = Wide(folder);
  for (size_t at = w.find_first_of(L"\\/", 3); at != std::wstring::npos; at = w.find_first_of(L"\\/", at + 1))
    CreateDirectoryW(w.substr(0, at).c_str(), nullptr);
  CreateDirectoryW(w.c_str(), nullptr);
  const DWORD a = GetFileAttributesW(w.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> Win32Disk::FileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::wstring pattern = Wide(folder);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L"*";
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(Narrow(fd.cFileName));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return names;
}

bool Win32Disk::Exists(const std::string& path) {
  const DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Disk::Remove(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

std::unique_ptr<SettingsStore> Win32Disk::Open(const std::string& path) {
  return std::make_unique<ProfileStore>(path, kPresetSection);
}

int Win32Platform::ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return dpi;
}

void Win32Platform::Message(void* owner, const char* text, const char* caption, MessageKind kind) {
  MessageBoxW(static_cast<HWND>(owner), Wide(text).c_str(), Wide(caption).c_str(),
              MB_OK | (kind == MessageKind::warning ? MB_ICONWARNING : 0));
}

void Win32Platform::Sleep(int ms) { ::Sleep(DWORD(ms)); }

std::string ModuleFolder(HMODULE module) {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, buf.data(), DWORD(buf.size()));
    if (n < buf.size()) {
      std::wstring path(buf.data(), n);
      path.erase(path.find_last_of(L"\\/") + 1);
      return Narrow(path);
    }
    buf.resize(buf.size() * 2);
  }
}

std::string Win32Platform::HostFolder() { return ModuleFolder(nullptr); }

SettingsStore& Win32Platform::Settings(const std::string& file) {
  auto& store = stores_[file];
  if (!store) store = std::make_unique<ProfileStore>(file, kSettingsSection);
  return *store;
}

}  // namespace brindle
