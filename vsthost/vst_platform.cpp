#include "tav/vst/vst_platform.h"

#include "platform_defaults.h"

namespace tav::vst {

namespace {
TVstLibraryLoader* installedLoader = nullptr;
TVstHostUi* installedUi = nullptr;
}  // namespace

TVstLibraryLoader& VstLibraryLoader() {
  return installedLoader ? *installedLoader : DefaultVstLibraryLoader();
}
void SetVstLibraryLoader(TVstLibraryLoader* loader) { installedLoader = loader; }
TVstHostUi& VstHostUi() { return installedUi ? *installedUi : DefaultVstHostUi(); }
void SetVstHostUi(TVstHostUi* ui) { installedUi = ui; }

}  // namespace tav::vst
