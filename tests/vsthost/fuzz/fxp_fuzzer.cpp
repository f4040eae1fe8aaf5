// libFuzzer target: the fxp program reader on any bytes, loaded into the test plug-in.
// A file is taken or refused with the host's error, never read past its end; what was
// taken saves again as a well-formed program of the plug-in.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fake_loader.h"
#include "tav/vst/vst_host.h"
#include "test_plugin.h"

namespace {

using namespace tav::vst;

TVstPlugIn& Item() {
  static auto* loader = [] {
    auto* l = new testplugin::TFakeLoader;
    l->Add("halver.dll", testplugin::TVariant::Both);
    return l;
  }();
  static auto* host = new TVstHost;
  static TVstPlugIn* item = [] {
    testplugin::TestPlugInReset();
    TVstPlugIn& i = host->VstPlugIns().Add();
    i.SetDLLFileName(L"halver.dll");
    i.SetActive(true);
    return &i;
  }();
  (void)loader;
  return *item;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TVstPlugIn& item = Item();
  const std::vector<uint8_t> bytes(data, data + size);
  try {
    item.LoadPresetFromBytes(bytes);
  } catch (const TVstError&) {
    return 0;  // refused
  }
  const std::vector<uint8_t> saved = item.SavePresetToBytes();
  if (saved.size() < 56 || saved[0] != 'C' || saved[1] != 'c' || saved[2] != 'n' || saved[3] != 'K') {
    std::fprintf(stderr, "a taken program saves as no program\n");
    std::abort();
  }
  return 0;
}
