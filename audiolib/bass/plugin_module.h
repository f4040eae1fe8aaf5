// Loading an add-on's library: the platform's loader behind one small interface.
#pragma once

#include <memory>
#include <string>

#include "addon_registry.h"

namespace tav::audio {

// The loaded library (unloaded when the last owner lets go), or null when it cannot be loaded.
// Loading a library that is loaded already gives a second owner with the same identity().
std::shared_ptr<AddonModule> load_plugin_module(const std::string& path);
// The add-on description the library exports, or null when it exports none.
const TAV_ADDON* plugin_module_addon(AddonModule& module);

}  // namespace tav::audio
