// Without a network client (the native build) an address fails with a code.
#include <gtest/gtest.h>

#include "bass.h"

TEST(UrlStream, IsAbsentWithoutANetworkClient) {
  EXPECT_EQ(BASS_StreamCreateURL("http://127.0.0.1/tone.mp3", 0, 0x220084, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_StreamCreateURL(nullptr, 0, 0x220084, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}
