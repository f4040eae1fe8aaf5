// The services a build installs by default (Win32, or none elsewhere).
#pragma once

#include "tav/vst/vst_platform.h"

namespace tav::vst {
TVstLibraryLoader& DefaultVstLibraryLoader();
TVstHostUi& DefaultVstHostUi();
}  // namespace tav::vst
