// The library loader the DSP host starts with: the Win32 one in the Windows
// build, none elsewhere.
#include "tav/engine/dsp_host.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tav::engine {

#if defined(_WIN32)
namespace {
class TWin32DspLibraryLoader final : public TDspLibraryLoader {
 public:
  void* Load(const std::string& path) override { return reinterpret_cast<void*>(LoadLibraryA(path.c_str())); }
  void* Entry(void* library, const char* name) override {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
  }
  void Free(void* library) override { FreeLibrary(static_cast<HMODULE>(library)); }
};
}  // namespace

TDspLibraryLoader* DefaultDspLibraryLoader() {
  static TWin32DspLibraryLoader loader;
  return &loader;
}
#else
TDspLibraryLoader* DefaultDspLibraryLoader() { return nullptr; }
#endif

}  // namespace tav::engine
