// The effects window's settings (defaults, read and write orders, the page
// fallback), its value texts, the phaser fields and the answers to the DSP
// plug-ins' queries.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "player/core/effect_settings.h"
#include "recording_store.h"

namespace tav::player {
namespace {

// The "FormEffect" section in memory, logging its reads and writes.
struct FakeIni : RecordingStore {
  FakeIni() : RecordingStore("FormEffect") {}
};

// The section's keys in the order the window reads them ("read ...") or its
// destroy handler writes them ("write ...", without "Visable").
std::vector<std::string> KeysInOrder(const std::string& how) {
  std::vector<std::string> k = {"Left", "Top"};
  if (how == "read") k.push_back("Visable");
  k.push_back("ActPage");
  for (int b = 0; b < 15; ++b) k.push_back("sldEq" + std::to_string(b));
  for (const char* s : {"chkEq", "rotate", "ckhy", "ckFlanges", "chHx", "ckGjHy"}) k.push_back(s);
  for (int p = 1; p <= 6; ++p) k.push_back("slPh" + std::to_string(p));
  for (const char* s : {"chkPhs", "sldspeed", "sldPitch"}) k.push_back(s);
  for (auto& key : k) key = how + " " + key;
  return k;
}

TEST(EffectSettings, DefaultsOfAnEmptySectionReadInTheWindowsOrder) {
  FakeIni ini;
  const TEffectSettings s = ReadEffectSettings(ini);
  EXPECT_EQ(ini.log, KeysInOrder("read"));
  EXPECT_EQ(s.Left, 194);
  EXPECT_EQ(s.Top, 109);
  EXPECT_FALSE(s.Visable);
  EXPECT_EQ(s.ActPage, 0);
  for (int v : s.Eq) EXPECT_EQ(v, 15);
  EXPECT_FALSE(s.ChkEq || s.Rotate || s.Ckhy || s.CkFlanges || s.ChHx || s.CkGjHy || s.ChkPhs);
  EXPECT_EQ(s.Phaser, (std::array<int, 6>{999, -999, -60, 2, 60, 1000}));
  EXPECT_EQ(s.Speed, 45);
  EXPECT_EQ(s.Pitch, 30);
}

TEST(EffectSettings, StoredValuesComeBackUncheckedExceptAPageOutOfRange) {
  for (auto [stored, page] : std::vector<std::pair<int, int>>{{3, 3}, {0, 0}, {-1, 0}, {4, 0}, {99, 0}}) {
    FakeIni ini;
    ini.values = {{"ActPage", stored}, {"sldEq0", 40}, {"ckhy", 1}, {"slPh6", -5}, {"Visable", 1}};
    const TEffectSettings s = ReadEffectSettings(ini);
    EXPECT_EQ(s.ActPage, page) << "stored " << stored;
    EXPECT_EQ(s.Eq[0], 40) << "the slider clamps it, not the reader";
    EXPECT_TRUE(s.Ckhy);
    EXPECT_TRUE(s.Visable);
    EXPECT_EQ(s.Phaser[5], -5);
  }
}

TEST(EffectSettings, DestroyWritesEveryKeyButVisableInOrderAndStopsAtAFailedWrite) {
  FakeIni ini;
  TEffectSettings s;
  s.Left = 10;
  s.ChHx = true;
  s.Eq[14] = 30;
  s.Speed = 0;
  WriteEffectSettings(ini, s);
  EXPECT_EQ(ini.log, KeysInOrder("write"));
  EXPECT_EQ(ini.values["Left"], 10);
  EXPECT_EQ(ini.values["chHx"], 1);
  EXPECT_EQ(ini.values["ckhy"], 0);
  EXPECT_EQ(ini.values["sldEq14"], 30);
  EXPECT_EQ(ini.values["sldspeed"], 0);
  EXPECT_EQ(ini.values["slPh2"], -999);

  // What was written before the failure stays; nothing after it is tried.
  FakeIni failing;
  failing.failAt = 3;
  EXPECT_THROW(WriteEffectSettings(failing, s), std::runtime_error);
  EXPECT_EQ(failing.log, (std::vector<std::string>{"write Left", "write Top", "write ActPage"}));

  FakeIni shown;
  WriteEffectVisible(shown, true);
  WriteEffectVisible(shown, false);
  EXPECT_EQ(shown.log, (std::vector<std::string>{"write Visable", "write Visable"}));
  EXPECT_EQ(shown.values["Visable"], 0);
}

TEST(EffectSettings, SliderOffsetsReadAsSignedPercentages) {
  const std::vector<std::pair<int, const char*>> cases = {
      {0 - 45, "-45%"}, {45 - 45, "+0%"}, {90 - 45, "+45%"}, {60 - 30, "+30%"}, {0 - 30, "-30%"}, {-1, "-1%"}};
  for (auto [n, text] : cases) EXPECT_EQ(SignedPercentText(n), text) << n;
}

TEST(EffectSettings, PhaserFieldsFromTheDefaultSliders) {
  const TPhaserFields f = PhaserFieldsFromSliders(kPhaserDefaults);
  EXPECT_FLOAT_EQ(f.DryMix, 0.999f);
  EXPECT_FLOAT_EQ(f.WetMix, -0.999f);
  EXPECT_FLOAT_EQ(f.Feedback, -0.06f);
  EXPECT_FLOAT_EQ(f.Rate, 0.2f);
  EXPECT_FLOAT_EQ(f.Range, 6.0f);
  EXPECT_FLOAT_EQ(f.Freq, 100.0f);
  const TPhaserFields ends = PhaserFieldsFromSliders({-2000, 2000, 1000, 100, 0, 10000});
  EXPECT_FLOAT_EQ(ends.DryMix, -2.0f);
  EXPECT_FLOAT_EQ(ends.WetMix, 2.0f);
  EXPECT_FLOAT_EQ(ends.Feedback, 1.0f);
  EXPECT_FLOAT_EQ(ends.Rate, 10.0f);
  EXPECT_FLOAT_EQ(ends.Range, 0.0f);
  EXPECT_FLOAT_EQ(ends.Freq, 1000.0f);
}

TEST(EffectSettings, WinampQueriesAnswerAsTheTableGives) {
  TWinampHostFacts none;
  none.PathAddress = 0x1000;
  none.TitleAddress = 0x2000;
  TWinampHostFacts playing = none;
  playing.HasStream = true;
  playing.StreamRate = 48000;
  struct Case {
    intptr_t query;
    uintptr_t wParam;
    intptr_t withoutStream, withStream;
  };
  const Case cases[] = {
      {0, 0, 0x5010, 0x5010},   {0, 7, 0x5010, 0x5010},    {124, 3, 1, 1},         {125, 0, 0, 0},
      {126, 0, 44100, 48000},   {126, 1, 16, 16},          {126, 2, 2, 2},         {126, 3, 0, 0},
      {126, uintptr_t(-1), 0, 0}, {211, 0, 0x1000, 0x1000}, {212, 9, 0x2000, 0x2000}, {105, 0, 0, 0},
      {1, 0, 0, 0},             {-1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WinampQueryAnswer(c.query, c.wParam, none), c.withoutStream) << c.query << "/" << c.wParam;
    EXPECT_EQ(WinampQueryAnswer(c.query, c.wParam, playing), c.withStream) << c.query << "/" << c.wParam;
  }
}

}  // namespace
}  // namespace tav::player
