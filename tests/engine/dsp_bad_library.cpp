// dsp_bad_header.dll / dsp_bad_module.dll / dsp_bad_text.dll: Winamp DSP
// libraries whose records point where no memory is, for the host's fault
// guard. TAV_DSP_BAD picks the broken record: 1 the header, 2 the module,
// 3 the description texts.
#include <cstdint>

#include "tav/winamp_dsp.h"

namespace {

// An address in the first page, which is never mapped.
template <class T>
T* Nowhere() {
  return reinterpret_cast<T*>(static_cast<uintptr_t>(0x40));
}

winampDSPModule* WINAMP_DSP_CALL GetModule(int index) {
#if TAV_DSP_BAD == 2
  return index == 0 ? Nowhere<winampDSPModule>() : nullptr;
#else
  static winampDSPModule module{};
  module.description = Nowhere<char>();
  return index == 0 ? &module : nullptr;
#endif
}

winampDSPHeader Header{WINAMP_DSP_HEADER_VERSION, nullptr, &GetModule};

}  // namespace

extern "C" __declspec(dllexport) winampDSPHeader* WINAMP_DSP_CALL winampDSPGetHeader2() {
#if TAV_DSP_BAD == 1
  return Nowhere<winampDSPHeader>();
#else
  Header.description = Nowhere<char>();
  return &Header;
#endif
}
