#include "fake_loader.h"

#include <cstring>

#include "test_plugin.h"

namespace tav::vst::testplugin {

namespace {
// One module per variant: its handle is the address of its variant.
const TVariant kModules[] = {TVariant::Both, TVariant::VstMainOnly, TVariant::BadMagic,
                             TVariant::NoEntry, TVariant::Factory, TVariant::NotALibrary};
}  // namespace

TFakeLoader::TFakeLoader() { SetVstLibraryLoader(this); }
TFakeLoader::~TFakeLoader() { SetVstLibraryLoader(nullptr); }

bool TFakeLoader::FileExists(const std::string& path) { return files_.count(path) != 0; }

void* TFakeLoader::Load(const std::string& path, std::string& error) {
  const auto found = files_.find(path);
  if (found == files_.end()) {
    error = "The specified module could not be found.";
    return nullptr;
  }
  if (found->second == TVariant::NotALibrary) {
    error = "Bad EXE format for " + path + ".";
    return nullptr;
  }
  ++loads;
  TestPlugInState()->badMagic = found->second == TVariant::BadMagic;
  return const_cast<TVariant*>(&kModules[static_cast<int>(found->second)]);
}

void* TFakeLoader::FindEntry(void* module, const char* name) {
  const TVariant variant = *static_cast<TVariant*>(module);
  const bool main = variant == TVariant::Both || variant == TVariant::BadMagic;
  const bool vstMain = main || variant == TVariant::VstMainOnly || variant == TVariant::Factory;
  if (main && std::strcmp(name, "main") == 0) return reinterpret_cast<void*>(&TestPlugInMain);
  if (vstMain && std::strcmp(name, "VSTPluginMain") == 0) return reinterpret_cast<void*>(&TestPlugInVstMain);
  if (variant == TVariant::Factory && std::strcmp(name, "GetPluginFactory") == 0)
    return reinterpret_cast<void*>(&TestPlugInFactory);
  return nullptr;
}

void TFakeLoader::Free(void*) {
  ++frees;
  if (TestPlugInState()->editorParent) editorOpenAtFree = true;
}

}  // namespace tav::vst::testplugin
