// The test builds of bass.dll, loaded by their undecorated export names.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "bass.h"

namespace {

struct Variant {
  HMODULE module;
  explicit Variant(const char* folder) {
    std::string path = std::string("variants\\") + folder + "\\bass.dll";
    module = LoadLibraryA(path.c_str());
  }
  ~Variant() {
    if (module) FreeLibrary(module);
  }
  template <typename F>
  F* fn(const char* name) {
    return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
};

using GetVersionFn = DWORD BASSAPI();
using InitFn = BOOL BASSAPI(int, DWORD, DWORD, HWND, const GUID*);
using GetInfoFn = BOOL BASSAPI(BASS_INFO*);
using ErrorFn = int BASSAPI();
using FreeFn = BOOL BASSAPI();

TEST(BassVariants, ExportsAreUndecorated) {
  Variant v("bass-v23");
  ASSERT_TRUE(v.module);
  EXPECT_TRUE(v.fn<GetVersionFn>("BASS_GetVersion"));
  EXPECT_FALSE(v.fn<GetVersionFn>("BASS_GetVersion@0"));
  EXPECT_FALSE(v.fn<GetVersionFn>("_BASS_GetVersion@0"));
}

TEST(BassVariants, EachReportsItsChange) {
  {
    Variant v("bass-v23");
    ASSERT_TRUE(v.module);
    EXPECT_EQ(v.fn<GetVersionFn>("BASS_GetVersion")(), 0x02030000u);
  }
  {
    Variant v("bass-failinit1");
    ASSERT_TRUE(v.module);
    auto init = v.fn<InitFn>("BASS_Init");
    EXPECT_FALSE(init(1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(v.fn<ErrorFn>("BASS_ErrorGetCode")(), BASS_ERROR_DRIVER);
    EXPECT_TRUE(init(0, 44100, 0, nullptr, nullptr));
    EXPECT_TRUE(v.fn<FreeFn>("BASS_Free")());
  }
  {
    Variant v("bass-dsver7");
    ASSERT_TRUE(v.module);
    ASSERT_TRUE(v.fn<InitFn>("BASS_Init")(0, 44100, 0, nullptr, nullptr));
    BASS_INFO info{};
    ASSERT_TRUE(v.fn<GetInfoFn>("BASS_GetInfo")(&info));
    EXPECT_EQ(info.dsver, 7u);
    EXPECT_EQ(v.fn<GetVersionFn>("BASS_GetVersion")(), 0x02040000u);
    EXPECT_TRUE(v.fn<FreeFn>("BASS_Free")());
  }
}

}  // namespace
