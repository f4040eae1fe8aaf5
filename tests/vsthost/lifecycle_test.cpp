// Loading, opening, closing and unloading plug-ins; every library variant.
#include "tav/vst/vst_text.h"
#include "vst_fixture.h"

namespace tav::vst::testing {
namespace {

using LifecycleTest = VstFixture;

TEST_F(LifecycleTest, OpeningSendsTheStartUpRequestsInOrder) {
  TVstPlugIn& item = OpenItem();
  const auto calls = CallsSince(0);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].kind, kCallEntry);
  EXPECT_EQ(calls[0].opcode, kEntryMain);  // "main" is tried first
  EXPECT_EQ(OpcodesSince(0), (std::vector<int>{effOpen, effCanDo, effSetSampleRate, effSetBlockSize, effSetBypass,
                                               effGetVstVersion, effGetPlugCategory, effMainsChanged}));
  EXPECT_STREQ(calls[2].text, "bypass");
  EXPECT_EQ(calls[3].opt, 44100.0f);
  EXPECT_EQ(calls[4].value, 2048);
  EXPECT_EQ(calls[5].value, 0);
  EXPECT_EQ(calls[8].value, 1);
  EXPECT_TRUE(item.Active());
  EXPECT_EQ(item.uID(), "TstH");
  EXPECT_EQ(item.Version(), kTestVersion);
  EXPECT_EQ(item.PluginVstVersion(), 2400);
  EXPECT_EQ(item.PlugCategory(), vpcEffect);
  EXPECT_EQ(item.DLLFileName(), L"halver.dll");
  EXPECT_EQ(Plug().versionAskedInEntry, 2300);  // answered before the item knows its record
}

TEST_F(LifecycleTest, TheIdIsReadMostSignificantByteFirst) {
  Plug().uniqueID = 0x4563686F;
  EXPECT_EQ(OpenItem().uID(), "Echo");
}

TEST_F(LifecycleTest, ALibraryWithOnlyTheSecondNameIsEnteredThroughIt) {
  OpenItem(L"mainonly.dll");
  EXPECT_EQ(CallsSince(0).at(0).opcode, kEntryVstPluginMain);
}

TEST_F(LifecycleTest, FailuresGiveTheirMessagesAndLeaveTheItemEmpty) {
  struct Case {
    const wchar_t* path;
    const char* message;
    int entryCalls;
  } cases[] = {
      {L"missing.dll", "不是一个有效的VST插件!", 0},
      {L"text.dll", "不是一个有效的VST插件!", 0},
      {L"noentry.dll", "不是一个有效的VST插件!", 0},
      {L"badmagic.dll", "There is no magic in it... failed!", 1},
      {L"factory.VST3", "There is no magic in it... failed!", 1},  // upper case is still ".vst3"
  };
  for (const Case& c : cases) {
    TestPlugInReset();
    TVstPlugIn& item = host.VstPlugIns().Add();
    EXPECT_EQ(OpenError(item, c.path), c.message) << WideToUtf8(c.path);
    EXPECT_FALSE(item.Active()) << WideToUtf8(c.path);
    EXPECT_EQ(item.VstEffect(), nullptr) << WideToUtf8(c.path);
    EXPECT_EQ(item.ModuleHandle(), nullptr) << WideToUtf8(c.path);
    // Nothing at all is sent to a record that is not a plug-in's.
    EXPECT_EQ(Plug().callCount, c.entryCalls) << WideToUtf8(c.path);
  }
  EXPECT_EQ(loader.loads, loader.frees);
}

TEST_F(LifecycleTest, TheFactoryNameIsTriedFirstOnlyForVst3Names) {
  OpenItem(L"factory.dll");  // not ".vst3": "main" is missing, "VSTPluginMain" is used
  EXPECT_EQ(CallsSince(0).at(0).opcode, kEntryVstPluginMain);
  const int mark = Mark();
  TVstPlugIn& other = host.VstPlugIns().Add();
  OpenError(other, L"factory.VST3");
  EXPECT_EQ(CallsSince(mark).at(0).opcode, kEntryFactory);
}

TEST_F(LifecycleTest, AnEntryThatFailsIsNotAPlugIn) {
  Plug().entryReturnsNull = 1;
  TVstPlugIn& item = host.VstPlugIns().Add();
  EXPECT_EQ(OpenError(item, L"halver.dll"), "不是一个有效的VST插件!");
  Plug().entryReturnsNull = 0;
  Plug().faultInEntry = 1;
  EXPECT_EQ(OpenError(item, L"halver.dll"), "不是一个有效的VST插件!");
  EXPECT_EQ(loader.loads, loader.frees);
}

TEST_F(LifecycleTest, SettingActiveTwiceOpensOnce) {
  TVstPlugIn& item = OpenItem();
  const int mark = Mark();
  item.SetActive(true);
  EXPECT_EQ(Plug().callCount, mark);
}

TEST_F(LifecycleTest, AShellIsAskedForItsSubPlugInsBeforeItOpens) {
  Plug().uniqueID = 0;
  OpenItem();
  const auto opcodes = OpcodesSince(0);
  EXPECT_EQ(std::vector<int>(opcodes.begin(), opcodes.begin() + 5),
            (std::vector<int>{effShellGetNextPlugin, effShellGetNextPlugin, effShellGetNextPlugin,
                              effShellGetNextPlugin, effOpen}));
}

TEST_F(LifecycleTest, AShellThatNeverSaysNoMoreIsAskedAtMost1024Times) {
  Plug().uniqueID = 0;
  Plug().shellSubPlugIns = -1;
  OpenItem();
  const auto opcodes = OpcodesSince(0);
  EXPECT_EQ(std::count(opcodes.begin(), opcodes.end(), int{effShellGetNextPlugin}), 1024);
  EXPECT_EQ(opcodes.at(1024), effOpen);
}

TEST_F(LifecycleTest, CloseAndUnloadLeaveTheirCounts) {
  TVstPlugIn& item = OpenItem();
  int mark = Mark();
  item.SetActive(false);
  EXPECT_EQ(OpcodesSince(mark), std::vector<int>{effClose});  // no effMainsChanged 0 first
  EXPECT_EQ(item.numParams(), 0);
  EXPECT_EQ(item.numInputs(), 0);
  EXPECT_EQ(item.Version(), 0);
  EXPECT_EQ(item.PlugCategory(), vpcUnknown);
  EXPECT_NE(item.ModuleHandle(), nullptr);  // Closed: the library stays
  item.UnloadModule();
  EXPECT_EQ(item.numParams(), -1);
  EXPECT_EQ(item.numOutputs(), -1);
  EXPECT_EQ(item.Version(), -1);
  EXPECT_EQ(item.uID(), "");
  EXPECT_EQ(item.ModuleHandle(), nullptr);
  EXPECT_EQ(loader.frees, 1);

  // Closed → Open reloads from the file name.
  mark = Mark();
  item.SetActive(true);
  EXPECT_EQ(CallsSince(mark).at(0).kind, kCallEntry);
  EXPECT_EQ(loader.loads, 2);
}

TEST_F(LifecycleTest, ClosingWithTheEditorOpenClosesItFirst) {
  TVstPlugIn& item = OpenItem();
  item.EditOpen(EditorParent());
  const int mark = Mark();
  item.SetActive(false);
  EXPECT_EQ(OpcodesSince(mark), (std::vector<int>{effEditClose, effClose}));
  EXPECT_FALSE(item.EditVisible());
}

TEST_F(LifecycleTest, AnUndeclaredEditorIsClosedBeforeTheLibraryIsFreed) {
  Plug().flags = 0;
  TVstPlugIn& item = OpenItem();
  item.EditOpen(EditorParent());
  host.VstPlugIns().Delete(0);
  EXPECT_EQ(loader.frees, 1);
  EXPECT_FALSE(loader.editorOpenAtFree);
  EXPECT_EQ(Plug().liveInstances, 0);
}

TEST_F(LifecycleTest, DestroyingTheHostClosesAndUnloadsItsPlugIns) {
  {
    TVstHost other;
    TVstPlugIn& item = other.VstPlugIns().Add();
    item.SetDLLFileName(L"halver.dll");
    item.SetActive(true);
    EXPECT_EQ(CurrentVstHost, &other);
  }
  EXPECT_EQ(CurrentVstHost, nullptr);
  EXPECT_EQ(OpcodesSince(0).back(), effClose);
  EXPECT_EQ(loader.frees, 1);
  EXPECT_EQ(Plug().liveInstances, 0);
}

TEST_F(LifecycleTest, LoadPlugInFileAloneSendsNoOpeningRequests) {
  TVstPlugIn& item = host.VstPlugIns().Add();
  int loaded = 0;
  item.OnAfterLoad = [&](TVstPlugIn&) { ++loaded; };
  EXPECT_TRUE(item.LoadPlugInFile(L"halver.dll"));
  EXPECT_EQ(loaded, 1);
  EXPECT_TRUE(item.Active());
  EXPECT_TRUE(OpcodesSince(0).empty());
  item.SetActive(true);
  EXPECT_TRUE(OpcodesSince(0).empty());
  EXPECT_FALSE(item.LoadPlugInFile(L"missing.dll"));
  EXPECT_FALSE(item.Active());
}

TEST_F(LifecycleTest, AssignToCopiesTheItemAndItsBank) {
  TVstPlugIn& source = OpenItem();
  source.SetDisplayName("Source");
  source.ReplaceOrAccumulate = roa1Replace;
  source.SetParameter(2, 0.9f);
  TVstPlugIn& target = host.VstPlugIns().Add();
  source.AssignTo(target);
  EXPECT_EQ(target.DisplayName(), "Source");
  EXPECT_EQ(target.ReplaceOrAccumulate, roa1Replace);
  EXPECT_TRUE(target.Active());
  EXPECT_NE(target.VstEffect(), source.VstEffect());
  EXPECT_EQ(target.GetParameter(2), 0.9f);
  EXPECT_EQ(Plug().lastChunkIsPreset, 0);
}

}  // namespace
}  // namespace tav::vst::testing
