// Add-ons (bass_addon.h): BASS_PluginLoad, BASS_PluginGetInfo and BASS_PluginFree.
#include "addon_registry.h"
#include "bass.h"
#include "c_boundary.h"
#include "error.h"
#include "library_instance.h"
#include "plugin_module.h"

using namespace tav::audio;

namespace {
struct PluginHandle {};  // what the handle table holds for an add-on; the registry has the rest
}  // namespace

extern "C" {

HPLUGIN BASSAPI BASS_PluginLoad(const char* file, DWORD flags) {
  return guarded(set_error, HPLUGIN{0}, [&]() -> HPLUGIN {
    if (!file || !*file) return fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
    std::shared_ptr<AddonModule> module = load_plugin_module(file);
    if (!module) return fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
    if (addon_registry().contains_module(module.get())) return fail(BASS_ERROR_ALREADY, HPLUGIN{0});
    const TAV_ADDON* addon = plugin_module_addon(*module);
    if (!AddonRegistry::acceptable(addon)) return fail(BASS_ERROR_FILEFORM, HPLUGIN{0});  // unloaded with `module`
    const HPLUGIN handle = library().handles.add(HandleKind::Plugin, std::make_shared<PluginHandle>());
    if (!handle) return fail(BASS_ERROR_MEM, HPLUGIN{0});
    if (!addon_registry().add(handle, addon, std::move(module))) {
      library().handles.remove<PluginHandle>(handle, HandleKind::Plugin);
      return fail(BASS_ERROR_ALREADY, HPLUGIN{0});
    }
    set_error(BASS_OK);
    return handle;
  });
}

const BASS_PLUGININFO* BASSAPI BASS_PluginGetInfo(HPLUGIN handle) {
  return guarded(set_error, static_cast<const BASS_PLUGININFO*>(nullptr), [&]() -> const BASS_PLUGININFO* {
    const BASS_PLUGININFO* info = addon_registry().info(handle);
    if (!info) return fail<const BASS_PLUGININFO*>(BASS_ERROR_HANDLE, nullptr);
    set_error(BASS_OK);
    return info;
  });
}

// 0 frees every add-on. Streams that an add-on decodes keep it loaded until they are freed.
BOOL BASSAPI BASS_PluginFree(HPLUGIN handle) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    const std::vector<uint32_t> freed = addon_registry().remove(handle);
    if (handle != 0 && freed.empty()) return fail(BASS_ERROR_HANDLE, FALSE);
    for (const uint32_t h : freed) library().handles.remove<PluginHandle>(h, HandleKind::Plugin);
    set_error(BASS_OK);
    return TRUE;
  });
}

}  // extern "C"
