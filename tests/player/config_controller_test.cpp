// The configuration window's behaviour over a fake engine and a fake window
// whose buffer slider is the slider's own model: the key-name table, the
// device choice, creation and destruction over the settings section, the
// buffer maximum's buttons and the seek keys.
#include "player/core/config_controller.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "controls/slider_model.h"
#include "player/core/key_names.h"
#include "recording_store.h"

namespace tav::player {
namespace {

using Log = std::vector<std::string>;

TEST(KeyNames, NamesNinetyFourKeysAndNothingElse) {
  int named = 0;
  for (int code = kFirstKeyCode; code <= kLastKeyCode; ++code) named += !KeyNameOf(code).empty();
  EXPECT_EQ(named, 94);
  struct Case {
    int64_t code;
    std::string_view name;
  };
  for (const Case& c : std::initializer_list<Case>{{9, "TAB"},   {13, "Enter"},      {18, "Alt"},     {27, "ESC"},
                                                   {48, "0"},    {57, "9"},          {65, "A"},       {90, "Z"},
                                                   {91, "KeyWin"}, {93, "Rightmouse"}, {96, "Num0"},  {105, "Num9"},
                                                   {107, "Num+"}, {110, "."},        {111, "Num/"},   {112, "F1"},
                                                   {121, "F10"}, {123, "F12"},       {186, ";"},      {190, "."},
                                                   {192, "~"},   {220, "\\"},        {221, "]"},
                                                   // no name: the key cannot be chosen
                                                   {0, ""},      {8, ""},            {92, ""},        {108, ""},
                                                   {124, ""},    {222, ""},          {256, ""},
                                                   // outside the table
                                                   {-1, ""},     {257, ""},          {0x100000009LL, ""}})
    EXPECT_EQ(KeyNameOf(c.code), c.name) << c.code;
}

struct FakeEngine : IConfigEngine {
  std::vector<std::string> devices{"No sound", "Primary Sound Driver", "Speakers"};
  std::map<int32_t, bool> refuses;  // device -> SetDevice fails
  Log log;
  std::vector<int32_t> buffers;
  bool compatBuffer = true, compatActive = true;
  SeekKeys active{};

  bool DeviceName(int32_t i, std::string& name) override {
    if (i < 0 || size_t(i) >= devices.size()) return false;
    name = devices[size_t(i)];
    return true;
  }
  bool SetDevice(int32_t i) override {
    log.push_back("device " + std::to_string(i));
    return i >= 0 && size_t(i) < devices.size() && !refuses[i];
  }
  void SetBufferLength(int32_t ms) override { buffers.push_back(ms); }
  void SetCompatBuffer(bool on) override { compatBuffer = on; }
  void ClearCompatActive() override { compatActive = false; }
  SeekKeys ActiveSeekKeys() override { return active; }
  void SetActiveSeekKeys(const SeekKeys& k) override { active = k; }
};

// The window: its buffer slider is the slider's model with the window's
// design (80..1000, increment 10, value 250), reporting changes back.
struct FakeView : IConfigView, slider::SliderHost {
  TConfigController* controller = nullptr;
  std::vector<std::string> names;
  int32_t selected = -1;
  slider::SliderModel<PlayerSliderBuild> slider{*this};
  bool compat = false;
  std::map<ConfigText, std::string> texts;
  Log messages;

  FakeView() {
    slider.SetMax(kDefaultBufferMax);
    slider.SetMin(kBufferMin);
    slider.SetValue(kDefaultBufferValue);
  }
  void Change() override {
    if (controller) controller->BufferChanged();
  }

  void SetDeviceNames(const std::vector<std::string>& n) override { names = n; }
  void SelectDevice(int32_t row) override { selected = row >= 0 && size_t(row) < names.size() ? row : -1; }
  int32_t SelectedDevice() override { return selected; }
  int32_t BufferMax() override { return slider.Max(); }
  void SetBufferMax(int32_t ms) override { slider.SetMax(ms); }
  int32_t BufferValue() override { return slider.Value(); }
  void SetBufferValue(int32_t ms) override { slider.SetValue(ms); }
  bool CompatChecked() override { return compat; }
  void SetCompatChecked(bool on) override {
    if (on == compat) return;
    compat = on;
    controller->CompatClicked();
  }
  void SetText(ConfigText which, const std::string& utf8) override { texts[which] = utf8; }
  void ShowOwnedMessage(const std::string& text, const std::string& caption) override {
    messages.push_back(caption + " " + text);
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

struct Config : ::testing::Test {
  FakeEngine engine;
  FakeView view;
  RecordingStore store{"FormConfig"};
  TConfigController config{engine, view};
  Config() { view.controller = &config; }
  void Create() {
    config.FormCreate(store);
    engine.log.clear();
    engine.buffers.clear();
  }
};

TEST_F(Config, CreationReadsAndAppliesTheDefaults) {
  config.FormCreate(store);
  EXPECT_EQ(store.log, (Log{"read DevIndex", "read ckbuffers", "read sdmaxval", "read sdbufval", "read KeyLeft50",
                            "read KeyLeft5", "read KeyRight50", "read KeyRight5"}));
  EXPECT_EQ(engine.log, Log{"device 1"});
  EXPECT_EQ(view.names, engine.devices);
  EXPECT_EQ(view.selected, 1);
  EXPECT_FALSE(engine.compatActive);
  EXPECT_FALSE(engine.compatBuffer);
  EXPECT_EQ(engine.buffers, std::vector<int32_t>{250}) << "applied at start-up though unchanged";
  EXPECT_EQ(engine.active, (SeekKeys{118, 116, 119, 117}));
  EXPECT_EQ(config.PendingKeys(), engine.active);
  EXPECT_EQ(view.texts, (std::map<ConfigText, std::string>{{ConfigText::BufferMax, "1000ms"},
                                                           {ConfigText::BufferValue, "250ms"},
                                                           {ConfigText::KeyLeft50, "F7"},
                                                           {ConfigText::KeyLeft5, "F5"},
                                                           {ConfigText::KeyRight50, "F8"},
                                                           {ConfigText::KeyRight5, "F6"}}));
}

TEST_F(Config, CreationTakesTheStoredSettings) {
  store.values = {{"ckbuffers", 1},  {"sdmaxval", 2000}, {"sdbufval", 1500},
                  {"KeyLeft50", 9},  {"KeyLeft5", 18},   {"KeyRight50", 121}, {"KeyRight5", 300}};
  config.FormCreate(store);
  EXPECT_TRUE(engine.compatBuffer) << "the check box's click handler sets it";
  EXPECT_EQ(view.BufferMax(), 2000);
  EXPECT_EQ(view.BufferValue(), 1500);
  EXPECT_EQ(engine.buffers, (std::vector<int32_t>{1500, 1500})) << "once by the change, once more at the end";
  EXPECT_EQ(engine.active, (SeekKeys{9, 18, 121, 300})) << "a code without a name is taken unchanged";
  EXPECT_EQ(view.texts[ConfigText::KeyLeft50], "TAB");
  EXPECT_EQ(view.texts[ConfigText::KeyLeft5], "Alt");
  EXPECT_EQ(view.texts[ConfigText::KeyRight50], "F10");
  EXPECT_EQ(view.texts[ConfigText::KeyRight5], "") << "outside 1..256: empty edit";
}

TEST_F(Config, AStoredMaximumBelowNinetyIsRefusedAndTheValueClamped) {
  store.values = {{"sdmaxval", 85}, {"sdbufval", 3000}};
  config.FormCreate(store);
  EXPECT_EQ(view.BufferMax(), 1000);
  EXPECT_EQ(view.BufferValue(), 1000);
  EXPECT_EQ(view.texts[ConfigText::BufferMax], "1000ms");
  EXPECT_EQ(view.texts[ConfigText::BufferValue], "1000ms");
}

TEST_F(Config, TheDeviceFollowsTheListAndAStoredIndexOutsideItFallsBack) {
  struct Case {
    size_t devices;
    std::optional<int32_t> stored;
    int32_t row;
    bool readsIndex;
  };
  for (const Case& c : std::initializer_list<Case>{{1, 3, 0, false},
                                                   {2, 0, 1, false},  // device 0 and one card: row 1 always
                                                   {3, {}, 1, true},
                                                   {3, 2, 2, true},
                                                   {3, 0, 0, true},
                                                   {3, 5, 1, true},  // a card since removed
                                                   {3, -1, 1, true}}) {
    FakeEngine e;
    e.devices.resize(c.devices, "card");
    FakeView v;
    RecordingStore s{"FormConfig"};
    if (c.stored) s.values["DevIndex"] = *c.stored;
    TConfigController cc(e, v);
    v.controller = &cc;
    cc.SetPlayDevice(s);
    const std::string at =
        std::to_string(c.devices) + " devices, stored " + (c.stored ? std::to_string(*c.stored) : "none");
    EXPECT_EQ(v.names.size(), c.devices) << at;
    EXPECT_EQ(v.selected, c.row) << at;
    EXPECT_EQ(e.log, Log{"device " + std::to_string(c.row)}) << at;
    EXPECT_EQ(s.log.size(), c.readsIndex ? 1u : 0u) << at;
    cc.FormDestroy(s);
    EXPECT_EQ(s.values["DevIndex"], c.row) << at << ": the row is kept, never -1";
  }
}

TEST_F(Config, DestructionWritesInItsOrderAndStopsSilentlyAtAFailedWrite) {
  store.values = {{"DevIndex", 2}, {"KeyLeft50", 120}};
  Create();
  view.slider.SetValue(400);
  view.SetCompatChecked(true);
  store.log.clear();
  config.FormDestroy(store);
  EXPECT_EQ(store.log, (Log{"write sdbufval", "write sdmaxval", "write ckbuffers", "write DevIndex", "write KeyLeft50",
                            "write KeyLeft5", "write KeyRight50", "write KeyRight5"}));
  EXPECT_EQ(store.values["sdbufval"], 400);
  EXPECT_EQ(store.values["sdmaxval"], 1000);
  EXPECT_EQ(store.values["ckbuffers"], 1);
  EXPECT_EQ(store.values["DevIndex"], 2);
  EXPECT_EQ(store.values["KeyLeft50"], 120);

  store.log.clear();
  store.failAt = store.writes + 2;
  EXPECT_NO_THROW(config.FormDestroy(store));
  EXPECT_EQ(store.log, (Log{"write sdbufval", "write sdmaxval"}));
}

TEST_F(Config, PlusAndMinusMoveTheMaximumWithinTheirLimits) {
  struct Case {
    const char* what;
    int32_t max, value;
    bool plus;
    int presses;
    int32_t newMax, newValue;
    std::vector<int32_t> applied;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"+ nineteen times from 1000", 1000, 250, true, 19, 1950, 250, {}},
           {"+ once from 4980", 4980, 250, true, 1, 5000, 250, {}},
           {"+ at 5000", 5000, 250, true, 1, 5000, 250, {}},
           {"+ above the ceiling lowers it", 9000, 7000, true, 1, 5000, 5000, {5000}},
           {"- below the value", 1000, 980, false, 1, 950, 950, {950}},
           {"- at the floor", 650, 250, false, 1, 650, 250, {}},
           {"- raises a maximum below the floor", 300, 290, false, 1, 650, 290, {}},
           {"- seven times from 1000", 1000, 1000, false, 7, 650, 650, {950, 900, 850, 800, 750, 700, 650}}}) {
    view.slider.SetMax(c.max);
    view.slider.SetValue(c.value);
    engine.buffers.clear();
    for (int i = 0; i < c.presses; ++i) c.plus ? config.RaiseMaxClick() : config.LowerMaxClick();
    EXPECT_EQ(view.BufferMax(), c.newMax) << c.what;
    EXPECT_EQ(view.BufferValue(), c.newValue) << c.what;
    EXPECT_EQ(engine.buffers, c.applied) << c.what;
    EXPECT_EQ(view.texts[ConfigText::BufferMax], MsText(c.newMax)) << c.what;
  }
}

TEST_F(Config, RestoreDefaultsAppliesTwoHundredFiftyEvenWhenUnchanged) {
  Create();
  view.slider.SetMax(2000);
  view.slider.SetValue(1500);
  engine.buffers.clear();
  config.ResetBufferClick();
  EXPECT_EQ(view.BufferMax(), 1000);
  EXPECT_EQ(view.BufferValue(), 250);
  EXPECT_EQ(engine.buffers, (std::vector<int32_t>{250, 250}));
  EXPECT_EQ(view.texts[ConfigText::BufferMax], "1000ms");
  EXPECT_EQ(view.texts[ConfigText::BufferValue], "250ms");
  engine.buffers.clear();
  config.ResetBufferClick();
  EXPECT_EQ(engine.buffers, std::vector<int32_t>{250});
}

TEST_F(Config, CapturedKeysWaitForApply) {
  Create();
  config.SeekKeyDown(SeekKey::Left50, 120);  // F9
  EXPECT_EQ(view.texts[ConfigText::KeyLeft50], "F9");
  EXPECT_EQ(engine.active[size_t(SeekKey::Left50)], 118u) << "the main window still seeks with F7";
  config.SeekKeyDown(SeekKey::Left50, 222);  // no name
  EXPECT_EQ(view.texts[ConfigText::KeyLeft50], "F9");
  EXPECT_EQ(config.PendingKeys()[size_t(SeekKey::Left50)], 120u);
  config.SeekKeyDown(SeekKey::Left5, 9);
  config.SeekKeyDown(SeekKey::Right50, 18);
  config.SeekKeyDown(SeekKey::Right5, 121);
  EXPECT_EQ(view.texts[ConfigText::KeyRight5], "F10");

  // Closing without "应用" keeps and stores the old keys.
  config.FormDestroy(store);
  EXPECT_EQ(store.values["KeyLeft50"], 118);
  EXPECT_EQ(store.values["KeyRight5"], 117);

  config.ApplyKeysClick();
  EXPECT_EQ(engine.active, (SeekKeys{120, 9, 18, 121}));
  EXPECT_EQ(view.messages, Log{"设置完成,立即生效!!!"});
  config.FormDestroy(store);
  EXPECT_EQ(store.values["KeyLeft50"], 120);
  EXPECT_EQ(store.values["KeyRight5"], 121);
}

TEST_F(Config, ApplyingADeviceTellsOnlyOfSuccess) {
  Create();
  view.SelectDevice(2);
  config.ApplyDeviceClick();
  EXPECT_EQ(engine.log, Log{"device 2"});
  EXPECT_EQ(view.messages, Log{"成功! 应用设备成功，在下一次加载文件时生效"});
  engine.refuses[0] = true;
  view.SelectDevice(0);
  config.ApplyDeviceClick();
  EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(Config, TheCompatibilitySwitchSetsTheEngineSwitchOnly) {
  Create();
  EXPECT_FALSE(engine.compatBuffer);
  view.SetCompatChecked(true);
  EXPECT_TRUE(engine.compatBuffer);
  EXPECT_FALSE(engine.compatActive);
  view.SetCompatChecked(false);
  EXPECT_FALSE(engine.compatBuffer);
}

}  // namespace
}  // namespace tav::player
