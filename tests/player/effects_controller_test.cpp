// The effects window's behaviour over a fake engine and a fake window: the
// re-application for a new stream in its order, the library effects' handles,
// tempo and pitch, the phaser's six sends, and the Winamp DSP page's start,
// configure, switch and stop, a library gone since it was listed among them.
#include "player/core/effects_controller.h"

#include <gtest/gtest.h>

#include <map>

namespace tav::player {
namespace {

using Log = std::vector<std::string>;

struct EffectsPage : ::testing::Test, IEffectsAudio, IEffectsView {
  Log log;
  uint32_t nextHandle = 100;
  bool streamOpen = true;
  std::map<std::string, std::vector<std::string>> libraries = {{"C:\\p\\dsp_two.dll", {"first", "second"}}};
  int32_t moduleIndex = -1;
  bool active = false;

  std::map<EffectSwitch, bool> checks;
  std::map<EffectSlider, int> sliders{{EffectSlider::Tempo, kSpeedCentre}, {EffectSlider::Pitch, kPitchCentre}};
  std::map<EffectText, std::string> texts;
  std::array<int, kPhaserSliderCount> phaser = kPhaserDefaults;
  std::vector<std::string> rows = {"C:\\p\\dsp_two.dll"};
  int selectedRow = 0;
  std::vector<std::string> modules;
  int selectedModule = -1;
  bool idle = true;
  Log warnings;

  TEffectsController fx{*this, *this};

  // IEffectsAudio
  void CreateEq() override { log.push_back("eq on"); }
  void RemoveEq() override { log.push_back("eq off"); }
  void ApplyEqGains() override { log.push_back("eq gains"); }
  static std::string Name(OwnEffect w) {
    return w == OwnEffect::Rotate ? "rotate" : w == OwnEffect::Echo ? "echo" : "flanger";
  }
  static std::string Name(LibraryEffect w) {
    return w == LibraryEffect::Reverb ? "reverb" : w == LibraryEffect::Dx8Echo ? "dx8 echo" : "phaser";
  }
  void SetOwnEffect(OwnEffect w) override { log.push_back(Name(w) + " on"); }
  void RemoveOwnEffect(OwnEffect w) override { log.push_back(Name(w) + " off"); }
  uint32_t SetLibraryEffect(LibraryEffect w) override {
    log.push_back(Name(w) + " on");
    return streamOpen ? nextHandle++ : 0;
  }
  void RemoveLibraryEffect(uint32_t h) override { log.push_back("remove " + std::to_string(h)); }
  void SetPhaserFields(uint32_t h, const TPhaserFields& f) override {
    log.push_back("phaser " + std::to_string(h) + " " + std::to_string(f.DryMix));
  }
  void SetTempo(float p) override { log.push_back("tempo " + std::to_string(int(p))); }
  void SetPitch(float s) override { log.push_back("pitch " + std::to_string(int(s))); }
  std::string loaded;
  bool LoadDsp(const std::string& path, bool asParent) override {
    log.push_back(std::string(asParent ? "load parent " : "load ") + path);
    loaded = libraries.count(path) ? path : "";
    return !loaded.empty();
  }
  std::string faulting;  // a library whose records fault when it is listed
  bool DspFaulted() override { return !faulting.empty() && log.back() == "load " + faulting; }
  std::string DspDescription() override { return loaded.empty() ? "" : "two modules"; }
  int32_t DspModuleCount() override { return loaded.empty() ? 0 : int32_t(libraries[loaded].size()); }
  std::string DspModuleDescription(int32_t i) override { return libraries[loaded].at(size_t(i)); }
  void InitDspModule(int32_t i) override { log.push_back("init " + std::to_string(i)); }
  void ConfigDspModule(int32_t i) override { log.push_back("config " + std::to_string(i)); }
  void QuitDspModule(int32_t i) override {
    log.push_back(std::string("quit ") + std::to_string(i) + (active ? " while active" : ""));
  }
  void UnloadDsp() override {
    log.push_back("unload");
    loaded.clear();
  }
  void SetDspActive(bool on) override {
    active = on;
    log.push_back(on ? "active" : "inactive");
  }
  void SetDspModuleIndex(int32_t i) override { moduleIndex = i; }
  int32_t DspModuleIndex() override { return moduleIndex; }
  TWinampHostFacts HostFacts() override { return {streamOpen, 48000, 0x1000, 0x2000}; }

  // IEffectsView
  bool Checked(EffectSwitch w) override { return checks[w]; }
  int SliderValue(EffectSlider w) override { return sliders[w]; }
  void SetText(EffectText w, const std::string& t) override { texts[w] = t; }
  std::array<int, kPhaserSliderCount> PhaserValues() override { return phaser; }
  void SetPhaserTexts(const std::array<int, kPhaserSliderCount>&) override { log.push_back("phaser texts"); }
  int SelectedLibrary() override { return selectedRow; }
  std::string LibraryPath(int row) override { return row < int(rows.size()) ? rows[size_t(row)] : ""; }
  void SetModules(const std::vector<std::string>& d) override {
    modules = d;
    selectedModule = d.empty() ? -1 : 0;
  }
  int ModuleCount() override { return int(modules.size()); }
  int SelectedModule() override { return selectedModule; }
  void SetDspPageIdle(bool on) override { idle = on; }
  void Warn(const std::string& text) override { warnings.push_back(text); }
};

// A new stream takes every switch in its fixed order: those on are set
// afresh, those off only removed; the library effects' handles are kept and
// forgotten, and the phaser's record goes out once per slider.
TEST_F(EffectsPage, ANewStreamTakesEverySwitchInItsOrder) {
  checks = {{EffectSwitch::Echo, true}, {EffectSwitch::Equaliser, true}, {EffectSwitch::Reverb, true},
            {EffectSwitch::Phaser, true}};
  sliders[EffectSlider::Tempo] = 0;
  sliders[EffectSlider::Pitch] = 60;
  fx.ReapplyEffects();
  const std::string dry = std::to_string(0.999f);
  EXPECT_EQ(log, (Log{"rotate off", "echo on", "flanger off", "eq on", "reverb on", "remove 0", "tempo -45",
                      "pitch 30", "phaser on", "phaser 101 " + dry, "phaser texts", "phaser 101 " + dry,
                      "phaser texts", "phaser 101 " + dry, "phaser texts", "phaser 101 " + dry, "phaser texts",
                      "phaser 101 " + dry, "phaser texts", "phaser 101 " + dry, "phaser texts"}));
  EXPECT_EQ(fx.ReverbFx(), 100u);
  EXPECT_EQ(fx.EchoFx(), 0u);
  EXPECT_EQ(fx.PhaserFx(), 101u);
  EXPECT_EQ(texts[EffectText::Tempo], "-45%");
  EXPECT_EQ(texts[EffectText::Pitch], "+30%");

  // Switched off: removed and forgotten; a stream that refuses leaves 0.
  checks[EffectSwitch::Reverb] = false;
  checks[EffectSwitch::Phaser] = false;
  log.clear();
  fx.ReverbClick();
  fx.PhaserClick();
  EXPECT_EQ(log, (Log{"remove 100", "remove 101"}));
  EXPECT_EQ(fx.ReverbFx(), 0u);
  EXPECT_EQ(fx.PhaserFx(), 0u);
  streamOpen = false;
  checks[EffectSwitch::Dx8Echo] = true;
  fx.Dx8EchoClick();
  EXPECT_EQ(fx.EchoFx(), 0u);
}

TEST_F(EffectsPage, TheDspPageStartsConfiguresSwitchesAndStopsOneModule) {
  fx.ConfigureClick();  // nothing before a start
  fx.StartClick();      // no modules listed yet
  EXPECT_TRUE(log.empty());
  fx.LibrarySelected();
  EXPECT_EQ(modules, (Log{"first", "second"}));
  EXPECT_EQ(log, (Log{"load C:\\p\\dsp_two.dll", "unload"}));

  // Started with "开关" off: Init runs, no block passes yet.
  selectedModule = 1;
  log.clear();
  fx.StartClick();
  EXPECT_TRUE(fx.DspRunning());
  EXPECT_FALSE(idle);
  EXPECT_EQ(log, (Log{"load parent C:\\p\\dsp_two.dll", "init 1", "inactive"}));
  EXPECT_EQ(moduleIndex, 1);
  log.clear();
  fx.StartClick();      // running: ignored
  fx.LibrarySelected();  // running: the box keeps its modules
  EXPECT_TRUE(log.empty());
  checks[EffectSwitch::DspOn] = true;
  fx.DspOnClick();
  fx.ConfigureClick();
  EXPECT_EQ(log, (Log{"active", "config 1"}));

  // Stop: processing off before the module's Quit, then the library goes.
  log.clear();
  fx.StopClick();
  EXPECT_EQ(log, (Log{"inactive", "quit 1", "unload"}));
  EXPECT_FALSE(fx.DspRunning());
  EXPECT_TRUE(idle);
  log.clear();
  fx.StopClick();
  fx.DspOnClick();
  EXPECT_TRUE(log.empty()) << "stopped: ignored";
  EXPECT_TRUE(warnings.empty());
}

// A library deleted after it was listed: "启动插件" says why and the page
// stays stopped, ready for another library.
TEST_F(EffectsPage, StartingALibraryThatHasGoneSaysWhyAndStaysStopped) {
  fx.LibrarySelected();
  libraries.clear();
  log.clear();
  fx.StartClick();
  EXPECT_EQ(warnings, (Log{std::string(kDspCannotLoadText) + "C:\\p\\dsp_two.dll"}));
  EXPECT_FALSE(fx.DspRunning());
  EXPECT_TRUE(idle);
  EXPECT_EQ(log, (Log{"load parent C:\\p\\dsp_two.dll", "unload"})) << "no Init, no processing";
  log.clear();
  fx.StopClick();
  EXPECT_TRUE(log.empty());
}

// Listing: a library gives its description, one that cannot be loaded an
// empty one, and one that faults none at all, so the list leaves it out.
TEST_F(EffectsPage, ListingLeavesOutALibraryThatFaults) {
  faulting = "C:\\p\\dsp_bad.dll";
  EXPECT_EQ(fx.DescribeLibrary("C:\\p\\dsp_two.dll"), std::optional<std::string>("two modules"));
  EXPECT_EQ(fx.DescribeLibrary("C:\\p\\dsp_gone.dll"), std::optional<std::string>(""));
  EXPECT_EQ(fx.DescribeLibrary(faulting), std::nullopt);
}

TEST_F(EffectsPage, QueriesAreAnsweredFromTheEngine) {
  EXPECT_EQ(fx.QueryAnswer(kWinampQueryStreamInfo, 0), 48000);
  EXPECT_EQ(fx.QueryAnswer(kWinampQueryPath, 0), 0x1000);
  streamOpen = false;
  EXPECT_EQ(fx.QueryAnswer(kWinampQueryStreamInfo, 0), 44100);
}

}  // namespace
}  // namespace tav::player
