// The dispatcher requests, the processing and parameter calls and the editor
// operations of a plug-in item, against the test plug-in.
#include <cstring>
#include <functional>

#include "tav/vst/vst_pass_item.h"
#include "vst_fixture.h"

namespace tav::vst::testing {
namespace {

using DispatcherTest = VstFixture;

TEST_F(DispatcherTest, EachRequestReachesThePlugInAsTheTableSays) {
  TVstPlugIn& item = OpenItem();
  VstPatchChunkInfo info{};
  void* chunk = nullptr;
  struct Case {
    const char* name;
    std::function<void()> call;
    int opcode, index;
    std::int64_t value;
    float opt;
    bool ptr;
  } cases[] = {
      {"ProgramNr write", [&] { item.SetProgramNr(1); }, effSetProgram, 0, 1, 0, false},
      {"ProgramNr read", [&] { EXPECT_EQ(item.ProgramNr(), 1); }, effGetProgram, 0, 0, 0, false},
      {"ProgramName write", [&] { item.SetProgramName("Warm"); }, effSetProgramName, 0, 0, 0, true},
      {"ProgramName read", [&] { EXPECT_EQ(item.ProgramName(), "Warm"); }, effGetProgramName, 0, 0, 0, true},
      {"SetSampleRate", [&] { item.SetSampleRate(48000.0); }, effSetSampleRate, 0, 0, 48000.0f, false},
      {"SetBlockSize", [&] { item.SetBlockSize(512); }, effSetBlockSize, 0, 512, 0, false},
      {"MainsChanged off", [&] { item.MainsChanged(false); }, effMainsChanged, 0, 0, 0, false},
      {"MainsChanged on", [&] { item.MainsChanged(true); }, effMainsChanged, 0, 1, 0, false},
      {"Identify", [&] { EXPECT_EQ(item.Identify(), 0x4E764566); }, effIdentify, 0, 0, 0, false},
      {"GetChunk preset", [&] { EXPECT_GT(item.GetChunk(&chunk, true), 0); }, effGetChunk, 1, 0, 0, true},
      {"GetChunk bank", [&] { EXPECT_GT(item.GetChunk(&chunk, false), 0); }, effGetChunk, 0, 0, 0, true},
      {"SetChunk", [&] { item.SetChunk(chunk, 5, true); }, effSetChunk, 1, 5, 0, true},
      {"GetPlugCategory", [&] { EXPECT_EQ(item.GetPlugCategory(), vpcEffect); }, effGetPlugCategory, 0, 0, 0, false},
      {"SetBlockSizeAndSampleRate", [&] { item.SetBlockSizeAndSampleRate(1152, 44100.0f); },
       effSetBlockSizeAndSampleRate, 0, 1152, 44100.0f, false},
      {"SetBypass", [&] { item.SetBypass(true); }, effSetBypass, 0, 1, 0, false},
      {"GetEffectName", [&] { EXPECT_EQ(item.GetEffectName(), "Halver"); }, effGetEffectName, 0, 0, 0, true},
      {"VendorString", [&] { EXPECT_EQ(item.VendorString(), "Tavolen Tests"); }, effGetVendorString, 0, 0, 0, true},
      {"ProductString", [&] { EXPECT_EQ(item.ProductString(), "Test Halver"); }, effGetProductString, 0, 0, 0, true},
      {"VendorVersion", [&] { EXPECT_EQ(item.VendorVersion(), 1000); }, effGetVendorVersion, 0, 0, 0, false},
      {"CanDo", [&] { EXPECT_EQ(item.CanDo("bypass"), 1); }, effCanDo, 0, 0, 0, true},
      {"GetVstVersion", [&] { EXPECT_EQ(item.GetVstVersion(), 2400); }, effGetVstVersion, 0, 0, 0, false},
      {"BeginLoadProgram", [&] { item.BeginLoadProgram(info); }, effBeginLoadProgram, 0, 0, 0, true},
  };
  for (const Case& c : cases) {
    const int mark = Mark();
    c.call();
    const auto calls = CallsSince(mark);
    ASSERT_EQ(calls.size(), 1u) << c.name;
    EXPECT_EQ(calls[0].kind, kCallDispatcher) << c.name;
    EXPECT_EQ(calls[0].opcode, c.opcode) << c.name;
    EXPECT_EQ(calls[0].index, c.index) << c.name;
    EXPECT_EQ(calls[0].value, c.value) << c.name;
    EXPECT_EQ(calls[0].opt, c.opt) << c.name;
    EXPECT_EQ(calls[0].hasPtr, c.ptr) << c.name;
  }
}

TEST_F(DispatcherTest, RequestsOnAnItemThatIsNotActiveSendNothing) {
  TVstPlugIn& item = host.VstPlugIns().Add();
  VstPatchChunkInfo info{};
  std::string name = "kept";
  const int mark = Mark();
  EXPECT_EQ(item.ProgramNr(), -1);
  EXPECT_EQ(item.VendorVersion(), -1);
  EXPECT_EQ(item.GetVstVersion(), -1);
  EXPECT_EQ(item.GetPlugCategory(), 0);
  EXPECT_EQ(item.ProgramName(), "");
  EXPECT_EQ(item.VendorString(), "");
  EXPECT_EQ(item.EditIdle(), 0);
  EXPECT_EQ(item.Idle(), 0);
  EXPECT_EQ(item.ShellGetNextPlugin(name), 0);
  EXPECT_EQ(name, "kept");
  EXPECT_EQ(item.CallDispatcher(effOpen), 0);
  item.SetProgramNr(1);
  item.SetProgramName("x");
  item.BeginLoadProgram(info);
  ERect rect{1, 2, 3, 4};
  item.EditGetRect(rect);
  EXPECT_EQ(rect.right, 4);
  EXPECT_EQ(item.GetParameter(0), 0.0f);
  EXPECT_EQ(Plug().callCount, mark);
}

TEST_F(DispatcherTest, ATextAnsweredWithoutWritingIsEmpty) {
  TVstPlugIn& item = OpenItem();
  EXPECT_EQ(item.VendorString(), "Tavolen Tests");
  Plug().textsUnwritten = 1;
  EXPECT_EQ(item.ProductString(), "");
  EXPECT_EQ(item.GetEffectName(), "");
  EXPECT_EQ(item.ProgramName(), "");
}

TEST_F(DispatcherTest, AFaultInsideARequestGivesZeroAndTheProgramGoesOn) {
  TVstPlugIn& item = OpenItem();
  Plug().faultOpcode = effGetVendorString;
  EXPECT_EQ(item.VendorString(), "");
  Plug().faultOpcode = effGetVendorVersion;
  EXPECT_EQ(item.VendorVersion(), 0);
  Plug().faultOpcode = effGetChunk;
  void* data = reinterpret_cast<void*>(1);
  EXPECT_EQ(item.GetChunk(&data, true), 0);
  EXPECT_EQ(data, nullptr);
  Plug().faultOpcode = -1;
  EXPECT_EQ(item.ProductString(), "Test Halver");
}

TEST_F(DispatcherTest, ChunkAnswersThatMakeNoSenseAreEmptyChunks) {
  TVstPlugIn& item = OpenItem();
  void* data = nullptr;
  Plug().chunkAnswerSize = -20;
  EXPECT_EQ(item.GetChunk(&data, true), 0);
  EXPECT_EQ(data, nullptr);
  Plug().chunkAnswerSize = 100;
  Plug().chunkNullPointer = 1;
  EXPECT_EQ(item.GetChunk(&data, true), 0);
  EXPECT_EQ(data, nullptr);
}

TEST_F(DispatcherTest, CountsAreTheRecordsWhileItLivesThenTheCachedOnes) {
  TVstPlugIn& item = OpenItem();
  EXPECT_EQ(item.numParams(), 3);
  item.VstEffect()->numParams = 5;
  EXPECT_EQ(item.numParams(), 5);
  item.VstEffect()->numPrograms = -7;  // nonsense from a plug-in reads as none
  EXPECT_EQ(item.numPrograms(), 0);
  item.VstEffect()->numPrograms = 0x7FFFFFFF;
  EXPECT_EQ(item.numPrograms(), kMaxPlugInCount);
  EXPECT_EQ(item.InitialDelay(), 7);
  EXPECT_TRUE(item.EffectOptions().Contains(effFlagsHasEditor));
  EXPECT_FALSE(item.EffectOptions().Contains(effFlagsProgramChunks));
}

TEST_F(DispatcherTest, ProcessingHalvesInPlaceAndFaultsReachTheCaller) {
  TVstPlugIn& item = OpenItem();
  TAVDArrayOfSingleDynArray planes;
  planes.Resize(2, 4);
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < 4; ++i) planes[c][i] = 0.25f * static_cast<float>(i) - 0.5f * c;
  item.ProcessReplacing(planes.Table(), planes.Table(), 4);
  EXPECT_EQ(planes[0][3], 0.375f);
  EXPECT_EQ(planes[1][0], -0.25f);

  TAVDArrayOfSingleDynArray out;
  out.Resize(2, 4);
  out[0][1] = 1.0f;
  item.Process(planes.Table(), out.Table(), 4);  // accumulates
  EXPECT_EQ(out[0][1], 1.0f + 0.0625f);

  std::vector<double> in64{0.5, -1.0}, out64(2);
  double* inTable[2] = {in64.data(), in64.data()};
  double* outTable[2] = {out64.data(), out64.data()};
  item.ProcessDoubleReplacing(inTable, outTable, 2);
  EXPECT_EQ(out64[1], -0.5);

  Plug().faultInProcessing = 1;
  EXPECT_THROW(item.ProcessReplacing(planes.Table(), planes.Table(), 4), TVstPlugInFault);
  Plug().faultInProcessing = 0;
  item.ProcessReplacing(planes.Table(), planes.Table(), 4);  // the host goes on
  EXPECT_EQ(planes[0][3], 0.1875f);
}

TEST_F(DispatcherTest, ParametersAreStraightCalls) {
  TVstPlugIn& item = OpenItem();
  item.SetParameter(1, 0.75f);
  EXPECT_EQ(item.GetParameter(1), 0.75f);
  Plug().faultInParameters = 1;
  EXPECT_THROW(item.SetParameter(0, 0.1f), TVstPlugInFault);
  EXPECT_THROW(item.GetParameter(0), TVstPlugInFault);
}

#if defined(__i386__) || defined(__x86_64__)
TEST_F(DispatcherTest, RequestsRunWithTheHostControlWordAndProcessingWithTheCallers) {
  TVstPlugIn& item = OpenItem();
  std::uint16_t saved = CurrentFpuControlWord();
  LoadFpuControlWord(0x027F);
  int mark = Mark();
  item.GetVstVersion();
  EXPECT_EQ(CallsSince(mark).at(0).fpuControl & ~0x40, 0x133F);  // bit 6 reads as 1

  LoadFpuControlWord(0x027F);
  TAVDArrayOfSingleDynArray planes;
  planes.Resize(2, 8);
  mark = Mark();
  item.ProcessReplacing(planes.Table(), planes.Table(), 8);
  EXPECT_EQ(CallsSince(mark).at(0).fpuControl, 0x027F);

  // The host callback loads it at every entry, whatever the plug-in had set.
  item.CallDispatcher(kVendorSpecific, kHookCallbackFpu, 0x037F);
  EXPECT_EQ(Plug().fpuAfterCallback & ~0x40, 0x133F);
  LoadFpuControlWord(saved);
}
#endif

// --- editor and idle ---

TEST_F(DispatcherTest, IdleCallsGoOutOnlyWhenAskedFor) {
  TVstPlugIn& item = OpenItem();
  int mark = Mark();
  EXPECT_EQ(item.EditIdle(), 0);
  EXPECT_EQ(item.Idle(), 0);
  EXPECT_TRUE(OpcodesSince(mark).empty());

  HostCallback(item.VstEffect(), audioMasterNeedIdle, 0, 0, nullptr, 0);
  EXPECT_TRUE(item.WantsIdle());
  mark = Mark();
  item.Idle();
  item.Idle();
  EXPECT_EQ(OpcodesSince(mark), (std::vector<int>{effIdle, effIdle}));
  item.SetActive(false);
  item.SetActive(true);  // opening again clears the wish
  EXPECT_FALSE(item.WantsIdle());
}

TEST_F(DispatcherTest, EditorOpensIdlesAndCloses) {
  TVstPlugIn& item = OpenItem();
  ERect rect{-1, -1, -1, -1};
  item.EditGetRect(rect);
  EXPECT_EQ(rect.bottom - rect.top, kTestEditorHeight);
  EXPECT_EQ(rect.right - rect.left, kTestEditorWidth);
  EXPECT_EQ(item.EditOpen(EditorParent()), 1);
  EXPECT_TRUE(item.EditVisible());
  EXPECT_EQ(Plug().editorParent, EditorParent());
  item.EditIdle();
  EXPECT_EQ(Plug().editIdleCount, 1);
  EXPECT_THROW(item.SetGUIStyle(gsList), TVstError);
  EXPECT_EQ(item.GUIStyle(), gsDefault);

  int closed = 0;
  item.OnCloseEdit = [&](TVstPlugIn&) { ++closed; };
  const int mark = Mark();
  item.CloseEditor();
  EXPECT_EQ(OpcodesSince(mark), std::vector<int>{effEditClose});
  EXPECT_FALSE(item.EditVisible());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(Plug().editorParent, nullptr);
  item.SetGUIStyle(gsList);
  EXPECT_EQ(item.GUIStyle(), gsList);
  item.OnCloseEdit = nullptr;  // the unload at the end closes the editor again
}

TEST_F(DispatcherTest, AnEditorWithoutRectangleOrWindowLeavesTheCallersValues) {
  Plug().editorWidth = 0;
  TVstPlugIn& item = OpenItem();
  ERect rect{1, 2, 3, 4};
  item.EditGetRect(rect);
  EXPECT_EQ(rect.top, 1);
  EXPECT_EQ(rect.right, 4);
  EXPECT_EQ(item.EditOpen(EditorParent()), 0);
  EXPECT_FALSE(item.EditVisible());
  Plug().faultOpcode = effEditOpen;
  Plug().editorWidth = 100;
  EXPECT_EQ(item.EditOpen(EditorParent()), 0);  // a failing open counts as no editor
  EXPECT_FALSE(item.EditVisible());
}

TEST_F(DispatcherTest, AnUndeclaredEditorThatWasOpenedIsStillClosed) {
  Plug().flags = 1 << effFlagsCanReplacing;  // no effFlagsHasEditor
  TVstPlugIn& item = OpenItem();
  item.EditOpen(EditorParent());
  ASSERT_TRUE(item.EditVisible());
  const int mark = Mark();
  item.CloseEditor();
  EXPECT_EQ(OpcodesSince(mark), std::vector<int>{effEditClose});
  EXPECT_EQ(Plug().editorParent, nullptr);

  // Without an open editor nothing is sent, the state is still cleared.
  int fired = 0;
  item.OnCloseEdit = [&](TVstPlugIn&) { ++fired; };
  const int mark2 = Mark();
  item.CloseEditor();
  EXPECT_TRUE(OpcodesSince(mark2).empty());
  EXPECT_EQ(fired, 1);
  item.OnCloseEdit = nullptr;  // the unload at the end closes the editor again
}

}  // namespace
}  // namespace tav::vst::testing

namespace tav::vst::testing {
namespace {

TEST_F(DispatcherTest, TheEnginesPassDrivesTheItemThroughItsPlanes) {
  TVstPlugIn& item = OpenItem();
  TVstPlugInPassItem pass(item);
  EXPECT_TRUE(pass.Active());
  EXPECT_EQ(pass.numInputs(), 2);
  EXPECT_EQ(pass.numOutputs(), 2);
  TAVDArrayOfSingleDynArray planes;
  planes.Resize(2, 1152);
  planes[1][1151] = -0.8f;
  const int mark = Mark();
  pass.SetBlockSizeAndSampleRate(1152, 48000.0f);
  pass.ProcessReplacing(planes, planes, 1152);
  EXPECT_EQ(planes[1][1151], -0.4f);
  const auto calls = CallsSince(mark);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].opcode, effSetBlockSizeAndSampleRate);
  EXPECT_EQ(calls[0].value, 1152);
  EXPECT_EQ(calls[0].opt, 48000.0f);
  EXPECT_EQ(calls[1].kind, kCallProcessReplacing);
  Plug().faultInProcessing = 1;
  EXPECT_THROW(pass.ProcessReplacing(planes, planes, 1152), TVstPlugInFault);
  item.SetActive(false);
  EXPECT_FALSE(pass.Active());
}

}  // namespace
}  // namespace tav::vst::testing
