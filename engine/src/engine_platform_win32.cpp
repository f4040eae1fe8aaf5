// The engine's Win32 services: the DSP host's library loader, the add-on
// folder search, code-page text, and the delivery of sent messages.
#include <windows.h>

#include "engine_platform.h"
#include "tav/engine/sent_messages.h"

namespace tav::engine {

namespace {

class TWin32DspLibraryLoader final : public tav::TLibraryLoader {
 public:
  void* Load(const std::string& path, std::string& error) override {
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) error = std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
  }
  void* FindEntry(void* library, const char* name) override {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
  }
  void Free(void* library) override { FreeLibrary(static_cast<HMODULE>(library)); }
};

}  // namespace

tav::TLibraryLoader& DefaultDspLibraryLoader() {
  static TWin32DspLibraryLoader loader;
  return loader;
}

std::vector<std::string> ListAddOnCandidates(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "bass*.dll").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::string CodePageToUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return std::string(text);
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, out.data(), bytes, nullptr, nullptr);
  return out;
}

// A plug-in may send its parent window a query from the audio thread and
// block until the window's thread answers; a window thread that waits for
// that plug-in call to end must answer meanwhile, or both wait on each other.
void DeliverSentMessages() {
  // Peeking delivers the messages sent from other threads; posted messages
  // stay in the queue for the message loop.
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace tav::engine
