// Add-on libraries in the native build: dlopen and dlsym.
#include <dlfcn.h>

#include "plugin_module.h"

namespace tav::audio {

namespace {

class SharedObject : public AddonModule {
 public:
  explicit SharedObject(void* handle) : handle_(handle) {}
  ~SharedObject() override { dlclose(handle_); }
  const void* identity() const override { return handle_; }
  void* handle() const { return handle_; }

 private:
  void* handle_;
};

}  // namespace

std::shared_ptr<AddonModule> load_plugin_module(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle ? std::make_shared<SharedObject>(handle) : nullptr;
}

const TAV_ADDON* plugin_module_addon(AddonModule& module) {
  auto entry = reinterpret_cast<TAV_GETADDON>(dlsym(static_cast<SharedObject&>(module).handle(), TAV_ADDON_ENTRY));
  return entry ? entry(TAV_ADDON_INTERFACE) : nullptr;
}

}  // namespace tav::audio
