// What plug-ins of other makers do, and how the host meets it: program names
// answered with 1, the rate asked for at every resume, resize requests, one
// input and one output on a stereo stream, an editor that faults while it
// opens, a fault in processing, and file selectors with buffers of their own
// or several files.
#include <cmath>
#include <cstring>

#include "engine_fixture.h"
#include "tav/engine/output_pump.h"
#include "tav/seh_guard.h"
#include "tav/vst/vst_pass_item.h"
#include "vst_fixture.h"

namespace tav::vst::testing {
namespace {

// What the test plug-in's fault reports: an access violation where it makes
// one, else its exception.
#ifdef _WIN32
constexpr unsigned kPlugInFaultCode = 0xC0000005u;
#else
constexpr unsigned kPlugInFaultCode = tav::kCppExceptionCode;
#endif

class ThirdPartyTest : public VstFixture {
 protected:
  void TearDown() override { SetVstHostUi(nullptr); }
};

TEST_F(ThirdPartyTest, ProgramNamesAnsweredWithOneAreKept) {
  Plug().programNameAnswer = 1;
  TVstPlugIn& item = OpenItem();
  EXPECT_EQ(item.ProgramName(), "Program 0");
  const std::vector<std::uint8_t> preset = item.SavePresetToBytes();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&preset[28])), "Program 0");

  // A preset without a name renames nothing.
  std::vector<std::uint8_t> unnamed = preset;
  std::memset(&unnamed[28], 0, 28);
  item.SetProgramName("Mine");
  const int mark = Mark();
  item.LoadPresetFromBytes(unnamed);
  for (int opcode : OpcodesSince(mark)) EXPECT_NE(opcode, effSetProgramName);
  EXPECT_EQ(item.ProgramName(), "Mine");
}

TEST_F(ThirdPartyTest, TheStreamsRateReachesThePlugIn) {
  Plug().askRateAtResume = 1;
  TVstPlugIn& item = OpenItem();
  EXPECT_EQ(Plug().rateAtResume, 44100);
  const int mark = Mark();
  EXPECT_TRUE(host.ChangeSampleRate(48000.0f));
  const auto calls = CallsSince(mark);
  std::vector<std::pair<int, std::int64_t>> seen;
  for (const TTestCall& c : calls) seen.emplace_back(c.opcode, c.opcode == effSetSampleRate ? std::int64_t(c.opt) : c.value);
  EXPECT_EQ(seen, (std::vector<std::pair<int, std::int64_t>>{{effMainsChanged, 0}, {effSetSampleRate, 48000},
                                                             {effMainsChanged, 1}}));
  EXPECT_EQ(Plug().rateAtResume, 48000);  // asked at the resume, answered with the stream's rate
  EXPECT_EQ(HostCallback(nullptr, audioMasterGetSampleRate, 0, 0, nullptr, 0), 48000);
  EXPECT_EQ(host.VstTimeInfo().SampleRate(), 48000.0);

  // The same rate again, or no rate at all, sends nothing.
  const int again = Mark();
  EXPECT_FALSE(host.ChangeSampleRate(48000.0f));
  EXPECT_FALSE(host.ChangeSampleRate(0.0f));
  EXPECT_FALSE(host.ChangeSampleRate(std::nanf("")));
  EXPECT_EQ(Mark(), again);

  // A plug-in loaded later opens at the stream's rate.
  host.VstPlugIns().Delete(0);
  OpenItem();
  EXPECT_EQ(Plug().lastSampleRate, 48000.0f);
  (void)item;
}

TEST_F(ThirdPartyTest, AResizeRequestIsAnsweredByTheWindowThatHoldsTheEditor) {
  TVstPlugIn& item = OpenItem();
  Plug().resizeWidth = 480;
  Plug().resizeHeight = 260;
  item.CallDispatcher(kVendorSpecific, kHookSizeWindow);
  EXPECT_EQ(Plug().sizeWindowAnswer, 0);  // nobody holds the editor
  int width = 0, height = 0;
  item.OnAudioMasterSizeWindow = [&](TVstPlugIn& sender, std::int32_t w, std::int32_t h) {
    EXPECT_EQ(&sender, &item);
    width = w;
    height = h;
    return true;
  };
  item.CallDispatcher(kVendorSpecific, kHookSizeWindow);
  EXPECT_EQ(Plug().sizeWindowAnswer, 1);
  EXPECT_EQ(width, 480);
  EXPECT_EQ(height, 260);
  item.OnAudioMasterSizeWindow = [](TVstPlugIn&, std::int32_t, std::int32_t) { return false; };
  item.CallDispatcher(kVendorSpecific, kHookSizeWindow);
  EXPECT_EQ(Plug().sizeWindowAnswer, 0);
}

TEST_F(ThirdPartyTest, AnEditorThatFaultsWhileOpeningIsReported) {
  TVstPlugIn& item = OpenItem();
  Plug().faultOpcode = effEditOpen;
  EXPECT_EQ(item.EditOpen(EditorParent()), 0);
  EXPECT_FALSE(item.EditVisible());
  EXPECT_EQ(item.EditOpenFault(), kPlugInFaultCode);
  Plug().faultOpcode = -1;
  EXPECT_EQ(item.EditOpen(EditorParent()), 1);
  EXPECT_EQ(item.EditOpenFault(), 0u);
}

// The engine's VST pass over item 0 through its pass item.
class PassTest : public ThirdPartyTest {
 protected:
  void SetUp() override {
    ThirdPartyTest::SetUp();
    enginetest::ResetEngine();
  }
  void TearDown() override {
    enginetest::ResetEngine();
    ThirdPartyTest::TearDown();
  }
  int ProcessCalls() {
    int n = 0;
    for (const TTestCall& c : CallsSince(0)) n += c.kind == kCallProcessReplacing;
    return n;
  }
};

TEST_F(PassTest, OneInputAndOneOutputProcessBothChannels) {
  Plug().numInputs = 1;
  Plug().numOutputs = 1;
  TVstPlugIn& item = OpenItem();
  TVstPlugInPassItem pass(item);
  engine::PassState.VstPassItem = &pass;
  engine::PassState.VstActive = -1;
  engine::PassState.VstEnabled = -1;
  std::vector<std::int16_t> block;
  for (int f = 0; f < 64; ++f) block.insert(block.end(), {8000, 4000});
  engine::ProcessVstBlock(2, block.data(), static_cast<std::int32_t>(block.size() * 2));
  // The mix (6000) halved, in both ears.
  for (std::size_t i = 0; i < block.size(); ++i) ASSERT_EQ(block[i], 3000) << i;
}

TEST_F(PassTest, TheFirstFaultInProcessingSwitchesThePassOff) {
  TVstPlugIn& item = OpenItem();
  TVstPlugInPassItem pass(item);
  engine::PassState.VstPassItem = &pass;
  engine::PassState.VstActive = -1;
  engine::PassState.VstEnabled = -1;
  Plug().faultInProcessing = 1;
  std::vector<std::int16_t> block(256, 1000);
  engine::ProcessVstBlock(2, block.data(), 512);
  EXPECT_EQ(engine::PassState.VstActive, 0);  // although the plug-in still counts as active
  EXPECT_TRUE(item.Active());
  EXPECT_EQ(pass.Fault(), kPlugInFaultCode);
  fake::Bass.source.assign(20000, 0);
  std::vector<std::uint8_t> out(8192);
  engine::OutputStreamProc(2, out.data(), 8192, nullptr);
  EXPECT_EQ(ProcessCalls(), 1);  // never called again
}

// File selectors: what the user chose, as the test wants it.
class TChoosingUi final : public TVstHostUi {
 public:
  void* CreatePlugInWindow(const TPlugInWindowRequest&) override { return nullptr; }
  void DestroyPlugInWindow(void*) override {}
  void ShowMessage(const std::string&) override {}
  bool RunFileDialog(const TFileDialogRequest& request, std::vector<std::wstring>& files) override {
    requests.push_back(request);
    files = choose;
    return !files.empty();
  }
  std::vector<std::wstring> choose;
  std::vector<TFileDialogRequest> requests;
};

TEST_F(ThirdPartyTest, FileSelectorFillsThePlugInsOwnBuffer) {
  TChoosingUi ui;
  SetVstHostUi(&ui);
  TVstPlugIn& item = OpenItem();
  ui.choose = {L"C:\\music\\take.wav"};
  struct Case {
    std::int32_t size;
    const char* path;
  } cases[] = {{64, "C:\\music\\take.wav"}, {18, "C:\\music\\take.wav"}, {10, "C:\\music\\"}, {1, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Plug().fileSelectorOwnBuffer = c.size;
    item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstFileLoad);
    EXPECT_EQ(Plug().fileSelectorAnswer, 1);
    EXPECT_EQ(Plug().fileSelectorBufferKept, 1);  // the plug-in's pointer is left alone
    EXPECT_STREQ(Plug().fileSelectorPath, c.path);
    EXPECT_EQ(Plug().fileSelectorSize, c.size);
    EXPECT_EQ(host.HostFileDialog(), nullptr);
  }
  // A plug-in with its own buffer need not close the selector: the next one opens.
  VstFileSelect select{};
  char buffer[64] = "kept";
  select.returnPath = buffer;
  select.sizeReturnPath = sizeof buffer;
  EXPECT_EQ(HostCallback(nullptr, audioMasterOpenFileSelector, 0, 0, &select, 0), 1);
  EXPECT_EQ(HostCallback(nullptr, audioMasterOpenFileSelector, 0, 0, &select, 0), 1);
  EXPECT_STREQ(buffer, "C:\\music\\take.wav");
  EXPECT_EQ(ui.requests.size(), 6u);
  // A buffer of no size cannot take a path: no dialog, no success.
  std::strcpy(buffer, "kept");
  select.sizeReturnPath = 0;
  EXPECT_EQ(HostCallback(nullptr, audioMasterOpenFileSelector, 0, 0, &select, 0), 0);
  EXPECT_STREQ(buffer, "kept");
  EXPECT_EQ(ui.requests.size(), 6u);
}

TEST_F(ThirdPartyTest, MultipleFilesAreAnsweredWithTheFilesOrZero) {
  TChoosingUi ui;
  SetVstHostUi(&ui);
  TVstPlugIn& item = OpenItem();
  ui.choose = {L"C:\\a\\one.wav", L"C:\\a\\two.wav"};
  item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstMultipleFilesLoad);
  EXPECT_TRUE(ui.requests.back().multiple);
  EXPECT_EQ(Plug().fileSelectorAnswer, 1);
  ASSERT_EQ(Plug().fileSelectorCount, 2);
  EXPECT_STREQ(Plug().fileSelectorPaths[0], "C:\\a\\one.wav");
  EXPECT_STREQ(Plug().fileSelectorPaths[1], "C:\\a\\two.wav");
  EXPECT_EQ(Plug().fileSelectorReturnPathSet, 0);
  EXPECT_EQ(host.HostFileDialog(), nullptr);  // freed by the plug-in's close
  ui.choose.clear();
  item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstMultipleFilesLoad);
  EXPECT_EQ(Plug().fileSelectorAnswer, 0);
  EXPECT_EQ(Plug().fileSelectorCount, 0);
}

}  // namespace
}  // namespace tav::vst::testing
