// The parameter table and the settings section: the first-run write, the load
// and save orders, and how values are read.
#include <gtest/gtest.h>

#include "recording_store.h"

namespace brindle {
namespace {

using test::RecordingStore;

TEST(ParameterTable, KeysFirstRunValuesAndControls) {
  ASSERT_EQ(kParamTable.size(), 31u);
  for (size_t i = 0; i < kParamTable.size(); ++i) EXPECT_EQ(int(kParamTable[i].param), int(i));
  Parameters p;
  EXPECT_EQ(p.Get(Param::bass3d), 50);
  EXPECT_EQ(p.Get(Param::basslopass), 20);
  EXPECT_EQ(p.Get(Param::dry), 90);
  EXPECT_EQ(p.Get(Param::bassout), 100);
  EXPECT_STREQ(Info(Param::wide3d).key, "3d");
  EXPECT_STREQ(Info(Param::basscomp).presetKey, "basslim");
  EXPECT_EQ(Info(Param::inverted).presetKey, nullptr);
  // a slider clamps, a check box is on for anything but 0
  p.SetFromControl(Param::dry, 150);
  EXPECT_EQ(p.Get(Param::dry), 100);
  p.SetFromControl(Param::dry, -5);
  EXPECT_EQ(p.Get(Param::dry), 0);
  p.SetFromControl(Param::soft, 7);
  EXPECT_EQ(p.Get(Param::soft), 1);
  p.SetFromControl(Param::soft, 0);
  EXPECT_EQ(p.Get(Param::soft), 0);
}

TEST(Settings, FirstRunWritesEveryKeyInOrderWithItsValue) {
  RecordingStore store;
  WriteDefaultSettings(store);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"XXX", "666"},        {"hidden", "0"},       {"x", "300"},          {"y", "200"},
      {"bassinlopass", "50"}, {"bassinhipass", "50"}, {"bassinres", "50"},   {"bassagc", "50"},
      {"bass3d", "50"},      {"phatt", "0"},        {"soft", "1"},         {"basslopass", "20"},
      {"basshipass", "80"},  {"bassres", "80"},     {"basscomp", "90"},    {"bassout", "100"},
      {"hipass", "50"},      {"agc", "50"},         {"stereoagc", "1"},    {"3d", "30"},
      {"widefilt", "0"},     {"prologic", "10"},    {"treble", "10"},      {"trange", "50"},
      {"dnl", "0"},          {"reverb", "10"},      {"damp", "50"},        {"size", "50"},
      {"length", "50"},      {"comp", "0"},         {"speed", "0"},        {"dry", "90"},
      {"loudness", "0"},     {"boost", "0"},        {"inverted", "0"},     {"enabled", "1"},
      {"timer", "25"},       {"delay", "1000"},     {"autodetect", "1"},   {"icon", ""}};
  EXPECT_EQ(store.written, expected);
}

TEST(Settings, LoadReadsInOrderClampsAndTakesLeadingDigits) {
  RecordingStore store;
  WriteDefaultSettings(store);
  store.values.erase("treble");      // a missing key reads 0
  store.values["dry"] = "55zz";      // the digits it starts with
  store.values["bass3d"] = " 170";   // clamped by its slider
  store.values["comp"] = "-20";
  store.values["soft"] = "0";
  store.values["stereoagc"] = "5";   // a check box is on for anything but 0
  store.values["timer"] = "200";     // 2..80
  store.values["delay"] = "1500ms";
  store.values["inverted"] = "1";
  store.values["icon"] = std::string(300, 'i');
  store.Forget();
  Parameters p;
  WindowSettings w;
  LoadSettings(store, p, w);
  const std::vector<std::string> order = {
      "bassinlopass", "bassinhipass", "bassinres", "bassagc", "bass3d",   "phatt",     "soft",     "basslopass",
      "basshipass",   "bassres",      "basscomp",  "bassout", "hipass",   "agc",       "stereoagc", "3d",
      "widefilt",     "prologic",     "treble",    "trange",  "dnl",      "reverb",    "size",     "damp",
      "length",       "speed",        "comp",      "dry",     "loudness", "boost",     "timer",    "delay",
      "autodetect",   "inverted",     "enabled",   "icon"};
  EXPECT_EQ(store.reads, order);
  EXPECT_TRUE(store.writes.empty());
  EXPECT_EQ(p.Get(Param::treble), 0);
  EXPECT_EQ(p.Get(Param::dry), 55);
  EXPECT_EQ(p.Get(Param::bass3d), 100);
  EXPECT_EQ(p.Get(Param::comp), 0);
  EXPECT_EQ(p.Get(Param::soft), 0);
  EXPECT_EQ(p.Get(Param::stereoagc), 1);
  EXPECT_EQ(p.Get(Param::inverted), 1);
  EXPECT_EQ(w.timer, 80);
  EXPECT_EQ(w.delay, 1500);
  EXPECT_EQ(w.icon.size(), 300u) << "a name cut short names another file";
  store.values["timer"] = "1";
  LoadSettings(store, p, w);
  EXPECT_EQ(w.timer, 2);
}

// Names are UTF-8: a limit of 255 characters is not one of 255 bytes, and a
// cut never splits a character.
TEST(Settings, TextsAreCutBetweenCharacters) {
  std::string chinese;
  for (int i = 0; i < 200; ++i) chinese += "\xE9\x9F\xB3";  // 200 characters, 600 bytes
  const struct {
    std::string text;
    size_t count;
    std::string cut;
  } cases[] = {
      {std::string(300, 'i'), 255, std::string(255, 'i')},
      {"abc", 255, "abc"},
      {chinese, 255, chinese},
      {chinese, 2, "\xE9\x9F\xB3\xE9\x9F\xB3"},
      {"a\xF0\x9F\x8E\xB5" "b", 2, "a\xF0\x9F\x8E\xB5"},  // a four-byte character stays whole
      {"\xC3\xA9t\xC3\xA9", 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CutText(c.text, c.count), c.cut) << c.text.size() << " bytes, " << c.count;

  // a stored name is read whole, however long
  RecordingStore store;
  for (const std::string& name : {"C:\\" + chinese + ".ico", std::string(254, 'i') + "\xE9\x9F\xB3\xE9\x9F\xB3"}) {
    store.values["icon"] = name;
    EXPECT_EQ(ReadString(store, "icon"), name);
  }
}

TEST(Settings, AnEmptySectionLoadsZeros) {
  RecordingStore store;
  Parameters p;
  WindowSettings w;
  LoadSettings(store, p, w);
  for (const ParamInfo& row : kParamTable) EXPECT_EQ(p.Get(row.param), 0) << row.key;
  EXPECT_EQ(w.timer, 2);
  EXPECT_EQ(ReadInt(store, "XXX"), 0);
}

TEST(Settings, SaveWritesPositionParametersAndScopeButNeverTheMarkers) {
  RecordingStore store;
  Parameters p;
  p.Set(Param::size, 12);
  p.Set(Param::damp, 34);
  p.Set(Param::loudness, 9);  // a switch is written 1 or 0
  WindowSettings w;
  w.x = -250;
  w.y = 42;
  w.icon = "C:\\icons\\my icon.ico";
  SaveSettings(store, p, w);
  const std::vector<std::string> order = {
      "x",        "y",        "bassinlopass", "bassinhipass", "bassinres", "bassagc",  "bass3d",  "phatt",
      "soft",     "basslopass", "basshipass", "bassres",      "basscomp",  "bassout",  "hipass",  "agc",
      "stereoagc", "3d",      "widefilt",     "prologic",     "treble",    "trange",   "dnl",     "reverb",
      "size",     "damp",     "length",       "comp",         "speed",     "dry",      "loudness", "boost",
      "inverted", "timer",    "delay",        "autodetect",   "icon"};
  EXPECT_EQ(store.writes, order);
  EXPECT_EQ(store.values["x"], "-250");
  EXPECT_EQ(store.values["size"], "12");
  EXPECT_EQ(store.values["damp"], "34");
  EXPECT_EQ(store.values["loudness"], "1");
  EXPECT_EQ(store.values["icon"], w.icon);
  for (const char* never : {"XXX", "hidden", "enabled"}) EXPECT_EQ(store.values.count(never), 0u) << never;
}

}  // namespace
}  // namespace brindle
