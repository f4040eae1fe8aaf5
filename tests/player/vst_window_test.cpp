#include "player/core/vst_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine_fixture.h"
#include "recording_store.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"
#include "tav/engine/vst_pass.h"

namespace {

using namespace tav::player;

// The host's item 0, the pass flags and the window, each logging into one
// shared record of what happened in which order.
struct World : IVstPlugInSlot, IVstPassFlags, IVstWindowView {
  std::vector<std::string> log;
  // slot
  int items = 0;
  bool open = false;
  bool failOpen = false, failSave = false, failLoadPreset = false;
  unsigned editFault = 0;
  bool hasRect = true;
  TVstEditorRect rect{0, 0, 200, 320};
  int32_t programs = 2;
  int32_t program = 0;
  std::vector<std::string> names = {"Warm", "Cold"};
  std::vector<std::string> loadedPresets, savedPresets;
  // What each program holds: "factory" at first and, for a plug-in that
  // loads its factory values whenever a program is chosen, again then.
  std::map<int32_t, std::string> contents;
  bool factoryOnSelect = false;
  // Runs at each call into the plug-in that the audio thread may meet.
  std::function<void()> onPlugInCall = [] {};
  float rate = 44100;
  unsigned passFault = 0;
  // flags
  bool active = false, enabled = false, idle = true;
  // view
  std::string caption = kVstEmptyCaption;
  TVstClientSize client{kVstEmptyClientWidth, kVstEmptyClientHeight};
  std::vector<std::string> items_;
  std::vector<bool> checks;
  bool enaCheck = true, timer = false;
  std::set<std::string> files;
  std::vector<std::string> errors;

  void EnsureItem() override {
    if (items == 0) ++items;
  }
  void Open(const std::string& path) override {
    log.push_back("open " + path);
    if (failOpen) throw std::runtime_error("不是一个有效的VST插件!");
    open = true;
  }
  bool IsOpen() override { return items > 0 && open; }
  void AttachPass() override { log.push_back("attach"); }
  void LoadPreset(const std::string& file) override {
    log.push_back("load preset");
    onPlugInCall();
    if (failLoadPreset) throw std::runtime_error("此参数文件与当前所使用的插件不匹配!");
    loadedPresets.push_back(file);
    contents[program] = "preset";
  }
  void SavePreset(const std::string& file) override {
    log.push_back("save preset");
    onPlugInCall();
    if (failSave) throw std::runtime_error("cannot write");
    savedPresets.push_back(file);
  }
  unsigned EditOpen() override {
    log.push_back("edit open");
    return editFault;
  }
  void EditGetRect(TVstEditorRect& r) override {
    EXPECT_EQ(r.right, 0);  // handed over zeroed
    if (hasRect) r = rect;
  }
  std::string VendorString() override { return "Acme"; }
  std::string EffectName() override { return "Delay"; }
  int32_t NumPrograms() override { return programs; }
  void SetProgram(int32_t p) override {
    onPlugInCall();
    program = p;
    if (factoryOnSelect) contents[p] = "factory";
    log.push_back("program " + std::to_string(p));
  }
  std::string ProgramName() override {
    return size_t(program) < names.size() ? names[size_t(program)] : "P" + std::to_string(program);
  }
  void SetTempo(double t) override { log.push_back("tempo " + std::to_string(int(t))); }
  void Idle() override { log.push_back("idle"); }
  void CloseEditor() override { log.push_back("close editor"); }
  void Release() override {
    log.push_back("release");
    items = 0;
    open = false;
  }
  bool ChangeSampleRate(float r) override {
    log.push_back("rate " + std::to_string(int(r)) + (active ? " while active" : ""));
    const bool changed = r != rate;
    rate = r;
    return changed;
  }
  unsigned PassFault() override { return passFault; }

  bool Active() override { return active; }
  void SetActive(bool on) override {
    active = on;
    log.push_back(on ? "active" : "inactive");
  }
  void SetEnabled(bool on) override { enabled = on; }
  void Sleep(int ms) override { log.push_back("sleep " + std::to_string(ms)); }
  bool WaitIdle() override {
    log.push_back("wait");
    return idle;
  }

  void SetCaption(const std::string& c) override { caption = c; }
  void SetClientSize(int w, int h) override { client = {w, h}; }
  void ClearPrograms() override {
    items_.clear();
    checks.clear();
  }
  void AddProgram(const std::string& t) override {
    items_.push_back(t);
    checks.push_back(false);
  }
  int ProgramItemCount() override { return int(items_.size()); }
  void SetProgramChecked(int i, bool c) override { checks.at(size_t(i)) = c; }
  bool EnabledChecked() override { return enaCheck; }
  void SetEnabledChecked(bool c) override { enaCheck = c; }
  void SetIdleTimer(bool on) override {
    timer = on;
    log.push_back(on ? "timer on" : "timer off");
  }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  void EnsureFolder(const std::string& path) override { log.push_back("folder " + path); }
  void ShowError(const std::string& t) override { errors.push_back(t); }
};

constexpr const char* kFolder = "C:\\Player\\";
constexpr const char* kDll = "D:\\VST\\Echo.dll";
constexpr const char* kPreset = "C:\\Player\\PluginCfg\\Echo.dll.fprest";

struct VstWindow : ::testing::Test {
  World w;
  TVstWindowController c{w, w, w, kFolder};
};

TEST(VstWindowRules, CaptionClientSizeProgramItemsAndFileNames) {
  EXPECT_EQ(VstCaption("Acme", "Delay"), "VST 插件: Acme - Delay");
  EXPECT_EQ(VstCaption("", ""), "VST 插件:  - ");

  struct Size {
    TVstEditorRect rect;
    int width, height;
  };
  // Never smaller than the empty window's client, 267 x 114.
  for (const Size& s : {Size{{0, 0, 200, 320}, 320, 200}, Size{{}, 267, 114}, Size{{10, 20, 40, 50}, 267, 114},
                        Size{{5, 100, 305, 700}, 600, 300}, Size{{50, 0, 10, 80}, 267, 114},
                        Size{{0, 0, 90, 400}, 400, 114}, Size{{0, 0, 300, 100}, 267, 300}}) {
    const TVstClientSize got = VstClientSize(s.rect);
    EXPECT_EQ(got.Width, s.width);
    EXPECT_EQ(got.Height, s.height);
  }

  EXPECT_EQ(VstProgramItemText(0, "Init"), "000 - Init");
  EXPECT_EQ(VstProgramItemText(11, ""), "011 - ");
  EXPECT_EQ(VstProgramItemText(1234, "Big"), "1234 - Big");

  for (auto [chosen, target] : {std::pair{"take", "take.fxp"}, {"take.fxp", "take.fxp"}, {"take.FXP", "take.FXP.fxp"},
                                {"a.fxp.bak", "a.fxp.bak.fxp"}, {"fxp", "fxp.fxp"}, {".fxp", ".fxp"}})
    EXPECT_EQ(VstFxpExportName(chosen), target) << chosen;

  EXPECT_EQ(VstPresetFileName(kFolder, kDll), kPreset);
  EXPECT_EQ(VstPresetFileName(kFolder, "D:/a/b/中文.dll"), "C:\\Player\\PluginCfg\\中文.dll.fprest");
  EXPECT_EQ(VstPresetFileName(kFolder, "Bare.dll"), "C:\\Player\\PluginCfg\\Bare.dll.fprest");
}

TEST_F(VstWindow, LoadOpensRestoresTheEditorsSizeListsProgramsAndSetsTheFlagsLast) {
  w.files = {kPreset};
  w.programs = 12;
  w.enaCheck = false;
  c.LoadFVst(kDll);
  EXPECT_EQ(w.caption, "VST 插件: Acme - Delay");
  EXPECT_EQ(w.client.Width, 320);
  EXPECT_EQ(w.client.Height, 200);
  ASSERT_EQ(w.items_.size(), 12u);
  EXPECT_EQ(w.items_[0], "000 - Warm");
  EXPECT_EQ(w.items_[1], "001 - Cold");
  EXPECT_EQ(w.items_[11], "011 - P11");
  for (bool checked : w.checks) EXPECT_FALSE(checked);
  EXPECT_EQ(w.program, 0);
  EXPECT_EQ(w.loadedPresets, std::vector<std::string>{kPreset});
  EXPECT_TRUE(w.active);
  EXPECT_FALSE(w.enabled);  // the "启用" check
  EXPECT_TRUE(c.Loaded());
  EXPECT_EQ(c.PlugInPath(), kDll);
  // The preset goes into program 0 after the walk through the programs; the
  // pass is attached before it is switched on.
  const std::vector<std::string> head(w.log.begin(), w.log.begin() + 2);
  EXPECT_EQ(head, (std::vector<std::string>{"open D:\\VST\\Echo.dll", "edit open"}));
  const std::vector<std::string> tail(w.log.end() - 6, w.log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"program 0", "load preset", "tempo 120", "timer on", "attach", "active"}));

  c.ProgramClick(3);
  EXPECT_EQ(w.program, 3);
  for (size_t i = 0; i < w.checks.size(); ++i) EXPECT_EQ(w.checks[i], i == 3) << i;
  c.ProgramClick(5);
  for (size_t i = 0; i < w.checks.size(); ++i) EXPECT_EQ(w.checks[i], i == 5) << i;
  c.ProgramClick(12);  // past the menu: nothing
  c.ProgramClick(-1);
  EXPECT_EQ(w.program, 5);
}

TEST_F(VstWindow, PluginWithoutRectangleOrProgramsOrWithAFaultingEditor) {
  w.hasRect = false;
  w.programs = 0;
  w.editFault = 0xC0000005;
  w.failLoadPreset = true;
  w.files = {kPreset};  // a foreign preset is swallowed
  c.LoadFVst(kDll);
  EXPECT_EQ(w.client.Width, 267);  // the empty window's client, not 60 x 0
  EXPECT_EQ(w.client.Height, 114);
  EXPECT_TRUE(w.items_.empty());
  EXPECT_EQ(w.errors, std::vector<std::string>{kVstEditorFaultText});
  EXPECT_TRUE(c.Loaded());
}

TEST_F(VstWindow, FailedLoadsChangeNoFlagAndLeaveOneItem) {
  w.failOpen = true;
  for (int i = 0; i < 3; ++i) EXPECT_THROW(c.LoadFVst("bad.dll"), std::runtime_error);
  EXPECT_EQ(w.items, 1);
  EXPECT_FALSE(w.active);
  EXPECT_FALSE(c.Loaded());
  EXPECT_EQ(w.caption, kVstEmptyCaption);
  // A good one loads into that item afterwards.
  w.failOpen = false;
  c.LoadFVst(kDll);
  EXPECT_EQ(w.items, 1);
  EXPECT_TRUE(c.Loaded());
}

TEST_F(VstWindow, UnloadSwitchesThePassOffWaitsSavesAndEmptiesTheWindow) {
  c.LoadFVst(kDll);
  c.ProgramClick(1);
  w.log.clear();
  c.VSTUnClick();
  EXPECT_EQ(w.log, (std::vector<std::string>{"timer off", "inactive", "sleep 200", "wait", "save preset", "release"}));
  EXPECT_EQ(w.savedPresets, std::vector<std::string>{kPreset});
  EXPECT_EQ(w.caption, kVstEmptyCaption);
  EXPECT_EQ(w.client.Width, 267);
  EXPECT_EQ(w.client.Height, 114);
  EXPECT_TRUE(w.items_.empty());
  EXPECT_FALSE(c.Loaded());
  EXPECT_EQ(w.items, 0);

  // Nothing loaded: timer, flag and wait, nothing else.
  w.log.clear();
  c.VSTUnClick();
  EXPECT_EQ(w.log, (std::vector<std::string>{"timer off", "inactive", "sleep 200", "wait"}));
}

TEST_F(VstWindow, UnloadWhosePresetCannotBeSavedStillUnloadsAndTellsIt) {
  c.LoadFVst(kDll);
  w.failSave = true;
  EXPECT_THROW(c.VSTUnClick(), std::runtime_error);
  EXPECT_FALSE(c.Loaded());
  EXPECT_EQ(w.items, 0);
  EXPECT_EQ(w.caption, kVstEmptyCaption);
  // Loading again works; so does a load over a plug-in that cannot save:
  // the box tells it and the new one comes.
  w.failSave = false;
  c.LoadFVst(kDll);
  w.failSave = true;
  c.LoadFVst("D:\\VST\\Other.dll");
  EXPECT_EQ(w.errors, std::vector<std::string>{"cannot write"});
  EXPECT_EQ(c.PlugInPath(), "D:\\VST\\Other.dll");
  EXPECT_EQ(w.items, 1);
}

TEST_F(VstWindow, APluginStillBusyAfterTheWaitIsNotClosedUnderTheBlock) {
  c.LoadFVst(kDll);
  w.idle = false;
  c.VSTUnClick();
  EXPECT_TRUE(c.Loaded());
  EXPECT_EQ(w.items, 1);
  EXPECT_FALSE(w.active);
  c.LoadFVst("D:\\VST\\Other.dll");  // neither: the old one stays
  EXPECT_EQ(c.PlugInPath(), kDll);
}

TEST_F(VstWindow, ImportAndExportOnlyWhileThePassIsOn) {
  c.ExportFxp("x");
  c.ImportFxp("x.fxp");
  EXPECT_TRUE(w.savedPresets.empty());
  EXPECT_TRUE(w.loadedPresets.empty());
  c.LoadFVst(kDll);
  c.ExportFxp("D:\\take");
  c.ExportFxp("D:\\take.fxp");
  c.ImportFxp("D:\\take.fxp");
  EXPECT_EQ(w.savedPresets, (std::vector<std::string>{"D:\\take.fxp", "D:\\take.fxp"}));
  EXPECT_EQ(w.loadedPresets, std::vector<std::string>{"D:\\take.fxp"});
  w.failLoadPreset = true;
  EXPECT_THROW(c.ImportFxp("D:\\foreign.fxp"), std::runtime_error);  // for the window's box
  w.active = false;  // a fault switched the pass off
  c.ExportFxp("D:\\later");
  EXPECT_EQ(w.savedPresets.size(), 2u);
}

TEST_F(VstWindow, StartReloadsThePluginAndItsPresetAndTheEndKeepsThem) {
  RecordingStore store{"FormVST"};
  store.values = {{"Left", 300}, {"Top", 40}, {"Visible", 1}, {"VstEna", 0}};
  store.texts = {{"VstPlugFile", kDll}};
  w.files = {kDll, kPreset};
  const auto place = c.FormCreate(&store);
  EXPECT_EQ(place.Left, 300);
  EXPECT_EQ(place.Top, 40);
  EXPECT_TRUE(place.Visible);
  EXPECT_FALSE(w.enaCheck);
  EXPECT_TRUE(c.Loaded());
  EXPECT_EQ(w.log.front(), "folder C:\\Player\\PluginCfg");
  EXPECT_EQ(w.loadedPresets, (std::vector<std::string>{kPreset}));  // once, on program 0

  w.log.clear();
  store.log.clear();
  c.FormDestroy(&store, 310, 50);
  EXPECT_EQ(store.log, (std::vector<std::string>{"write Left", "write Top", "write VstPlugFile", "write VstEna"}));
  EXPECT_EQ(store.texts["VstPlugFile"], kDll);
  EXPECT_EQ(store.values["Left"], 310);
  EXPECT_EQ(w.log, (std::vector<std::string>{"inactive", "wait", "save preset", "active", "close editor"}));
  EXPECT_TRUE(w.active);  // the plug-in itself plays on until the host goes
}

TEST_F(VstWindow, StartWithADeletedPluginOrNoneStaysEmptyAndTheEndForgetsIt) {
  for (const char* remembered : {kDll, ""}) {
    World world;
    TVstWindowController controller{world, world, world, kFolder};
    RecordingStore store{"FormVST"};
    store.texts = {{"VstPlugFile", remembered}};
    const auto place = controller.FormCreate(&store);
    EXPECT_EQ(place.Left, kVstDesignLeft);
    EXPECT_EQ(place.Top, kVstDesignTop);
    EXPECT_FALSE(place.Visible);
    EXPECT_TRUE(world.enaCheck);
    EXPECT_FALSE(controller.Loaded());
    EXPECT_TRUE(world.errors.empty());
    controller.FormDestroy(&store, 1, 2);
    EXPECT_EQ(store.texts["VstPlugFile"], "");
  }
  // A plug-in that is no plug-in any more: silent too.
  RecordingStore store{"FormVST"};
  store.texts = {{"VstPlugFile", kDll}};
  w.files = {kDll};
  w.failOpen = true;
  c.FormCreate(&store);
  EXPECT_FALSE(c.Loaded());
  EXPECT_TRUE(w.errors.empty());
}

TEST_F(VstWindow, NewStreamRateReachesThePluginWhileNoBlockRuns) {
  c.LoadFVst(kDll);
  w.log.clear();
  c.StreamStarting(48000);
  EXPECT_EQ(w.log, (std::vector<std::string>{"inactive", "wait", "rate 48000", "active"}));
  // Without a plug-in the host still learns the rate, and the pass stays off.
  c.VSTUnClick();
  w.log.clear();
  c.StreamStarting(22050);
  EXPECT_EQ(w.log, (std::vector<std::string>{"inactive", "wait", "rate 22050"}));
  EXPECT_FALSE(w.active);
}

TEST_F(VstWindow, EditorSizeRequestsAndAProcessingFaultTakenByTheWindow) {
  EXPECT_FALSE(c.EditorSizeRequest(400, 300));  // no plug-in
  c.LoadFVst(kDll);
  EXPECT_TRUE(c.EditorSizeRequest(400, 300));
  EXPECT_EQ(w.client.Width, 400);
  EXPECT_EQ(w.client.Height, 300);
  EXPECT_TRUE(c.EditorSizeRequest(10, -5));
  EXPECT_EQ(w.client.Width, 267);
  EXPECT_EQ(w.client.Height, 114);

  c.Timer1Timer();
  EXPECT_TRUE(w.errors.empty());
  w.passFault = 0xC0000005;
  c.Timer1Timer();
  c.Timer1Timer();
  EXPECT_EQ(w.errors, std::vector<std::string>{kVstProcessFaultText});
}

// A plug-in that loads its factory values whenever a program is chosen keeps
// its saved preset, whether it is loaded from the menu or at the start.
TEST_F(VstWindow, TheSavedPresetOutlivesTheWalkThroughThePrograms) {
  w.factoryOnSelect = true;
  w.programs = 3;
  w.files = {kDll, kPreset};
  c.LoadFVst(kDll);  // "加载VST插件.."
  EXPECT_EQ(w.program, 0);
  EXPECT_EQ(w.contents[0], "preset");
  EXPECT_EQ(w.loadedPresets.size(), 1u);

  World world;
  world.factoryOnSelect = true;
  world.programs = 3;
  world.files = {kDll, kPreset};
  TVstWindowController start{world, world, world, kFolder};
  RecordingStore store{"FormVST"};
  store.texts = {{"VstPlugFile", kDll}};
  start.FormCreate(&store);
  EXPECT_EQ(world.contents[0], "preset");
  EXPECT_EQ(world.loadedPresets.size(), 1u);
}

// Import, export, a program choice and the save at the end call the plug-in
// only after the pass is off and its block has left the plug-in; the pass
// comes back on afterwards, also after an import that fails.
TEST_F(VstWindow, CallsIntoThePluginWaitForTheAudioThreadToLeaveIt) {
  c.LoadFVst(kDll);
  using Log = std::vector<std::string>;
  struct Case {
    const char* what;
    std::function<void()> act;
    Log log;
  } cases[] = {
      {"import", [&] { c.ImportFxp("D:\\take.fxp"); }, {"inactive", "wait", "load preset", "active"}},
      {"export", [&] { c.ExportFxp("D:\\take"); }, {"inactive", "wait", "save preset", "active"}},
      {"program", [&] { c.ProgramClick(1); }, {"inactive", "wait", "program 1", "active"}},
      {"end", [&] { c.FormDestroy(nullptr, 0, 0); }, {"inactive", "wait", "save preset", "active", "close editor"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    w.log.clear();
    k.act();
    EXPECT_EQ(w.log, k.log);
    EXPECT_TRUE(w.active);
  }
  w.failLoadPreset = true;
  w.log.clear();
  EXPECT_THROW(c.ImportFxp("D:\\foreign.fxp"), std::runtime_error);
  EXPECT_EQ(w.log, (Log{"inactive", "wait", "load preset", "active"}));
  // A block still inside the plug-in after the bounded wait: no call, the
  // pass stays off and the program item stays as it was.
  w.failLoadPreset = false;
  w.idle = false;
  w.log.clear();
  c.ProgramClick(0);
  c.ImportFxp("D:\\take.fxp");
  EXPECT_EQ(w.log, (Log{"inactive", "wait"}));
  EXPECT_EQ(w.program, 1);
  EXPECT_TRUE(w.checks[1]);
  EXPECT_FALSE(w.active);
}

// The same calls with the engine's own pass: the audio thread is held inside
// the plug-in's processing by a latch that only switching the pass off opens.
// Each call must find the block gone from the plug-in.
class TLatchedPassItem final : public tav::engine::TVstPassItem {
 public:
  void SetBlockSizeAndSampleRate(int32_t, float) override {}
  int32_t numInputs() override { return 2; }
  int32_t numOutputs() override { return 2; }
  void ProcessReplacing(tav::engine::TAVDArrayOfSingleDynArray&, tav::engine::TAVDArrayOfSingleDynArray&,
                        int32_t) override {
    inside = true;
    inside.notify_all();
    open.wait(false);
    inside = false;
  }
  bool Active() override { return true; }
  void Open() {
    open = true;
    open.notify_all();
  }
  std::atomic<bool> inside{false}, open{false};
};

// The window's flags over the engine's state, as the window has them.
class TEngineFlags final : public IVstPassFlags {
 public:
  explicit TEngineFlags(TLatchedPassItem& item) : item_(item) {}
  bool Active() override { return tav::engine::PassState.VstActive.load() != 0; }
  void SetActive(bool on) override {
    tav::engine::PassState.VstActive.store(on ? -1 : 0);
    if (!on) item_.Open();
  }
  void SetEnabled(bool on) override { tav::engine::PassState.VstEnabled.store(on ? -1 : 0); }
  void Sleep(int) override {}
  bool WaitIdle() override { return tav::engine::WaitForVstPassIdle(); }

 private:
  TLatchedPassItem& item_;
};

using VstWindowAndAudioThread = enginetest::EngineTest;

TEST_F(VstWindowAndAudioThread, CallsReachThePluginOnlyAfterTheBlockLeftIt) {
  struct Case {
    const char* what;
    std::function<void(TVstWindowController&)> act;
  } cases[] = {
      {"import", [](TVstWindowController& c) { c.ImportFxp("D:\\take.fxp"); }},
      {"program", [](TVstWindowController& c) { c.ProgramClick(1); }},
      {"end", [](TVstWindowController& c) { c.FormDestroy(nullptr, 0, 0); }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    World w;
    TLatchedPassItem item;
    TEngineFlags flags(item);
    TVstWindowController c{w, flags, w, kFolder};
    c.LoadFVst(kDll);
    tav::engine::PassState.VstPassItem = &item;
    ASSERT_NE(tav::engine::PassState.VstActive.load(), 0);
    std::thread audio([] {
      int16_t block[8] = {};
      tav::engine::VstPassBlock(2, block, sizeof block);
    });
    item.inside.wait(false);
    int calls = 0, callsInside = 0;
    w.onPlugInCall = [&] {
      ++calls;
      callsInside += item.inside.load();
    };
    k.act(c);
    item.Open();
    audio.join();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(callsInside, 0) << "the call met the audio thread inside the plug-in";
    EXPECT_NE(tav::engine::PassState.VstActive.load(), 0) << "the pass is on again";
    tav::engine::PassState.VstPassItem = nullptr;
  }
}

}  // namespace
