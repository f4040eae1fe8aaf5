// Win32 services of the VST host: plug-in libraries, the hidden forms and the
// open/save dialogs that plug-ins may ask for, message boxes.
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>
#include <commdlg.h>

#include "platform_defaults.h"
#include "tav/seh_guard.h"
#include "tav/vst/vst_common.h"

namespace tav::vst {

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}

std::string SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result;
  if (n && text) {
    result = Utf8(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  }
  if (text) LocalFree(text);
  return result.empty() ? std::to_string(error) : result;
}

class TWin32LibraryLoader final : public TVstLibraryLoader {
 public:
  bool FileExists(const std::string& path) override {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  void* Load(const std::string& path, std::string& error) override {
    const std::wstring wide = Wide(path);
    UINT previousMode =
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOALIGNMENTFAULTEXCEPT);
    std::uint16_t control = CurrentFpuControlWord();
    HMODULE module = nullptr;
    DWORD lastError = 0;
    // The library's start-up code runs inside LoadLibrary: guard it too.
    unsigned code = 0;
    bool ran = tav::Guarded([&] {
      module = LoadLibraryW(wide.c_str());
      lastError = GetLastError();
    }, &code);
    LoadFpuControlWord(control);
    SetErrorMode(previousMode);
    if (!ran) {
      char text[32];
      std::snprintf(text, sizeof text, "fault 0x%08X", code);
      error = std::string(text) + " while loading " + path;
      return nullptr;
    }
    if (!module) error = SystemErrorText(lastError);
    return module;
  }

  void* FindEntry(void* module, const char* name) override {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
  }

  void Free(void* module) override {
    tav::Guarded([&] { FreeLibrary(static_cast<HMODULE>(module)); });
  }
};

const wchar_t kWindowClass[] = L"TavolenVstPlugInForm";

void RegisterFormClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  registered = RegisterClassW(&wc) != 0;
}

// "Name (*.ext)|*.ext|" pairs as the dialog wants them: NUL-separated, two NULs at the end.
std::wstring DialogFilter(const std::wstring& filter) {
  std::wstring out = filter;
  for (wchar_t& c : out)
    if (c == L'|') c = L'\0';
  out.push_back(L'\0');
  out.push_back(L'\0');
  return out;
}

// The files an open dialog returned: one full path, or with several chosen
// the folder and then each name, NUL-separated.
std::vector<std::wstring> ChosenFiles(const std::vector<wchar_t>& buffer) {
  std::vector<std::wstring> parts;
  for (std::size_t at = 0; at < buffer.size() && buffer[at] != L'\0';) {
    std::wstring part(buffer.data() + at);
    at += part.size() + 1;
    parts.push_back(std::move(part));
  }
  if (parts.size() <= 1) return parts;
  std::wstring folder = parts.front();
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  std::vector<std::wstring> files;
  for (std::size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
  return files;
}

class TWin32HostUi final : public TVstHostUi {
 public:
  void* CreatePlugInWindow(const TPlugInWindowRequest& request) override {
    RegisterFormClass();
    DWORD style = WS_OVERLAPPEDWINDOW, exStyle = 0;
    if (request.style == 0) {
      style = WS_OVERLAPPEDWINDOW;
      exStyle = WS_EX_TOOLWINDOW;
    } else if (request.style == 1) {
      style = WS_POPUP;
    }
    HWND parent = static_cast<HWND>(request.parent);
    HWND window = nullptr;
    if (parent && IsWindow(parent))
      window = CreateWindowExW(0, kWindowClass, request.title.c_str(), WS_CHILD, request.left,
                               request.top, request.width, request.height, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!window)
      window = CreateWindowExW(exStyle, kWindowClass, request.title.c_str(), style, request.left,
                               request.top, request.width, request.height, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    return window;
  }

  void DestroyPlugInWindow(void* window) override {
    if (window && IsWindow(static_cast<HWND>(window))) DestroyWindow(static_cast<HWND>(window));
  }

  void ShowMessage(const std::string& text) override {
    MessageBoxW(nullptr, Wide(text).c_str(), L"Tavolen", MB_OK);
  }

  bool RunFileDialog(const TFileDialogRequest& request, std::vector<std::wstring>& files) override {
    std::vector<wchar_t> buffer(32768, L'\0');
    const std::wstring filter = DialogFilter(request.filter);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size() - 1);
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    ofn.lpstrInitialDir = request.initialFolder.empty() ? nullptr : request.initialFolder.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                (request.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST) |
                (request.multiple && !request.save ? OFN_ALLOWMULTISELECT : 0);
    BOOL chosen = request.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!chosen || buffer[0] == L'\0') return false;
    files = ChosenFiles(buffer);
    return !files.empty();
  }
};

}  // namespace

TVstLibraryLoader& DefaultVstLibraryLoader() {
  static TWin32LibraryLoader loader;
  return loader;
}

TVstHostUi& DefaultVstHostUi() {
  static TWin32HostUi ui;
  return ui;
}

}  // namespace tav::vst
