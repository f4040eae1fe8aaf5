// The start-up calls through the C interface, as the player makes them.
#include <gtest/gtest.h>

#include <cstdint>

#include "bass.h"

namespace {

TEST(BassStartup, VersionDevicesInitInfoAndFree) {
  EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);

  BASS_DEVICEINFO info{};
  ASSERT_TRUE(BASS_GetDeviceInfo(0, &info));
  EXPECT_STREQ(info.name, "No sound");
  DWORD count = 1;
  while (BASS_GetDeviceInfo(count, &info)) ++count;
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);

  // Before any device is initialised there is nothing to select, report or free.
  BASS_INFO bi{};
  EXPECT_FALSE(BASS_GetInfo(&bi));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  EXPECT_FALSE(BASS_SetDevice(0));
  EXPECT_FALSE(BASS_Free());

  DWORD last_ok = 0;
  for (DWORD i = 0; i < count; ++i) {
    if (BASS_Init(static_cast<int>(i), 44100, 0, 0, nullptr)) {
      last_ok = i;
      EXPECT_EQ(BASS_GetDevice(), i);
      ASSERT_TRUE(BASS_GetDeviceInfo(i, &info));
      EXPECT_TRUE(info.flags & BASS_DEVICE_INIT);
    } else {
      ADD_FAILURE() << "device " << i << " failed with " << BASS_ErrorGetCode();
    }
  }
  EXPECT_EQ(BASS_GetDevice(), last_ok);
  EXPECT_FALSE(BASS_Init(0, 44100, 0, 0, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
  // every number that names no device (-1 is the default device), with no test hook among them
  for (int bad : {static_cast<int>(count), static_cast<int>(count) + 1, -2, -3, -100, 1000, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(BASS_Init(bad, 44100, 0, 0, nullptr)) << bad;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE) << bad;
  }

  ASSERT_TRUE(BASS_GetInfo(&bi));
  EXPECT_EQ(bi.dsver, 9u);
  EXPECT_EQ(bi.freq, 44100u);

  // The player's exit loop: select each device and free it; stop at the first failure.
  DWORD freed = 0;
  for (DWORD i = 0; BASS_GetDeviceInfo(i, &info); ++i) {
    BASS_SetDevice(i);
    if (!BASS_Free()) break;
    ++freed;
  }
  EXPECT_EQ(freed, count);
  EXPECT_FALSE(BASS_Free());
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(BassStartup, ConfigAcceptsThePlayersValuesAndRefusesOthers) {
  EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_UPDATEPERIOD, 24));
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_UPDATEPERIOD), 24u);
  EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, 1));
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_FLOATDSP), 1u);
  for (DWORD ms : {80u, 5000u}) {
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_BUFFER, ms));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_BUFFER), ms);
  }
  for (DWORD ms : {79u, 5001u}) {
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_BUFFER, ms));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  }
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_BUFFER), 5000u);
  EXPECT_EQ(BASS_GetConfig(12345), static_cast<DWORD>(-1));
}

}  // namespace
