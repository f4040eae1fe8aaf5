// A host with one item and the test plug-in behind the fake loader; helpers
// to read what the plug-in saw.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "fake_loader.h"
#include "test_plugin.h"
#include "tav/vst/vst_host.h"

namespace tav::vst::testing {

using namespace tav::vst::testplugin;

inline TTestPlugInState& Plug() { return *TestPlugInState(); }

// The calls the plug-in logged from `from` on.
inline std::vector<TTestCall> CallsSince(int from) {
  std::vector<TTestCall> calls;
  for (int i = from; i < Plug().callCount && i < kMaxLoggedCalls; ++i) calls.push_back(Plug().calls[i]);
  return calls;
}

inline std::vector<int> OpcodesSince(int from) {
  std::vector<int> opcodes;
  for (const TTestCall& c : CallsSince(from))
    if (c.kind == kCallDispatcher) opcodes.push_back(c.opcode);
  return opcodes;
}

// A parent for editors: a real window where the plug-in makes one.
inline void* EditorParent() {
#ifdef _WIN32
  static HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
  return parent;
#else
  static int parent;
  return &parent;
#endif
}

// Opens the item on `path`; the message it raised, or empty when it opened.
inline std::string OpenError(TVstPlugIn& item, const std::wstring& path) {
  item.SetDLLFileName(path);
  try {
    item.SetActive(true);
  } catch (const TVstError& e) {
    return e.what();
  }
  return "";
}

class VstFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TestPlugInReset();
    loader.Add("halver.dll", TVariant::Both);
    loader.Add("mainonly.dll", TVariant::VstMainOnly);
    loader.Add("badmagic.dll", TVariant::BadMagic);
    loader.Add("noentry.dll", TVariant::NoEntry);
    loader.Add("factory.VST3", TVariant::Factory);
    loader.Add("factory.dll", TVariant::Factory);
    loader.Add("text.dll", TVariant::NotALibrary);
  }

  // Item 0, opened on the given library.
  TVstPlugIn& OpenItem(const std::wstring& path = L"halver.dll") {
    TVstPlugIn& item = host.VstPlugIns().Count() ? host.Items(0) : host.VstPlugIns().Add();
    item.SetDLLFileName(path);
    item.SetActive(true);
    return item;
  }
  int Mark() const { return Plug().callCount; }

  TFakeLoader loader;
  TVstHost host;
};

}  // namespace tav::vst::testing
