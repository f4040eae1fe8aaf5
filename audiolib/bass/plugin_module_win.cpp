// Add-on libraries on Windows: LoadLibrary and GetProcAddress.
#include <windows.h>

#include "plugin_module.h"

namespace tav::audio {

namespace {

class WinModule : public AddonModule {
 public:
  explicit WinModule(HMODULE module) : module_(module) {}
  ~WinModule() override { FreeLibrary(module_); }
  const void* identity() const override { return module_; }
  HMODULE module() const { return module_; }

 private:
  HMODULE module_;
};

}  // namespace

std::shared_ptr<AddonModule> load_plugin_module(const std::string& path) {
  // no error dialog for a library that is not a program library at all
  const UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryA(path.c_str());
  SetErrorMode(old_mode);
  return module ? std::make_shared<WinModule>(module) : nullptr;
}

const TAV_ADDON* plugin_module_addon(AddonModule& module) {
  auto entry = reinterpret_cast<TAV_GETADDON>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<WinModule&>(module).module(), TAV_ADDON_ENTRY)));
  return entry ? entry(TAV_ADDON_INTERFACE) : nullptr;
}

}  // namespace tav::audio
