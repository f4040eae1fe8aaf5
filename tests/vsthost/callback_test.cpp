// The host callback's answers, with and without a calling item.
#include <cstring>
#include <limits>
#include <stdexcept>
#include <thread>

#include "vst_fixture.h"

namespace tav::vst::testing {
namespace {

// Windows and dialogs as a script: what the test wants the user to do.
class TScriptedUi final : public TVstHostUi {
 public:
  TScriptedUi() { SetVstHostUi(this); }
  ~TScriptedUi() override { SetVstHostUi(nullptr); }
  void* CreatePlugInWindow(const TPlugInWindowRequest& request) override {
    windows.push_back(request);
    return &windows.back();
  }
  void DestroyPlugInWindow(void*) override { ++destroyed; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool RunFileDialog(const TFileDialogRequest& request, std::vector<std::wstring>& files) override {
    dialogs.push_back(request);
    files = choose;
    return !choose.empty();
  }
  std::vector<std::wstring> choose;  // empty: the user cancels
  std::vector<TPlugInWindowRequest> windows;
  std::vector<TFileDialogRequest> dialogs;
  std::vector<std::string> messages;
  int destroyed = 0;
};

class CallbackTest : public VstFixture {
 protected:
  VstIntPtr Ask(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                float opt = 0) {
    return HostCallback(effect, opcode, index, value, ptr, opt);
  }
  TScriptedUi ui;
};

TEST_F(CallbackTest, AnswersThatNeedNoItem) {
  char text[64];
  struct Case {
    VstInt32 opcode;
    VstIntPtr value;
    VstIntPtr answer;
  } cases[] = {
      {audioMasterAutomate, 0, 0},         {audioMasterVersion, 0, 2300},
      {audioMasterCurrentId, 0, 0},        {audioMasterIdle, 0, 0},
      {audioMasterPinConnected, 0, 0},     {audioMasterUnused, 0, 0},
      {audioMasterSetTime, 0, 0},          {audioMasterTempoAt, 0, 1200000},
      {audioMasterGetNumAutomatableParameters, 0, 0},
      {audioMasterGetParameterQuantization, -1, 0},
      {audioMasterGetParameterQuantization, 5, 0},
      {audioMasterSizeWindow, 0, 0},       {audioMasterGetSampleRate, 0, 44100},
      {audioMasterGetBlockSize, 0, 2048},  {audioMasterGetInputLatency, 0, 0},
      {audioMasterGetOutputLatency, 0, 0}, {audioMasterGetPreviousPlug, 0, 0},
      {audioMasterGetNextPlug, 0, 0},      {audioMasterWillReplaceOrAccumulate, 0, 0},
      {audioMasterGetCurrentProcessLevel, 0, 0},
      {audioMasterGetAutomationState, 0, 0},
      {audioMasterGetOutputSpeakerArrangement, 0, 0},
      {audioMasterGetVendorVersion, 0, 0}, {audioMasterVendorSpecific, 0, 0},
      {audioMasterSetIcon, 0, 0},          {audioMasterGetLanguage, 0, 1},
      {audioMasterCloseWindow, 0, 0},      {audioMasterEditFile, 0, 0},
      {audioMasterGetChunkFile, 0, 0},     {audioMasterGetInputSpeakerArrangement, 0, 0},
      {256, 0, 0},                         {-1, 0, 0},
      {0x7FFFFFFF, 0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Ask(nullptr, c.opcode, 0, c.value, text), c.answer) << c.opcode;
  EXPECT_EQ(Ask(nullptr, audioMasterGetTime), reinterpret_cast<VstIntPtr>(host.VstTimeInfo().Record()));
  EXPECT_STREQ(reinterpret_cast<const char*>(Ask(nullptr, audioMasterGetDirectory)), "");
  host.ParameterQuantization = 12;
  EXPECT_EQ(Ask(nullptr, audioMasterGetParameterQuantization, 0, -1), 12);
  EXPECT_EQ(Ask(nullptr, audioMasterGetParameterQuantization, 0, 5), 0);
}

TEST_F(CallbackTest, CanDoComparesExactly) {
  struct Case {
    const char* text;
    VstIntPtr answer;
  } cases[] = {{"sendVstEvents", 1},    {"SendVstEvents", 0},   {"sendVstTimeInfo", 1}, {"sizeWindow", 1},
               {"startStopProcess", 1}, {"supportShell", 0},    {"openFileSelector", 0}, {"supplyIdle", 1},
               {"shellCategory", 0},    {"sendVstEvents ", 0},  {"", 0},                {"bypass", 0}};
  for (const Case& c : cases)
    EXPECT_EQ(Ask(nullptr, audioMasterCanDo, 0, 0, const_cast<char*>(c.text)), c.answer) << c.text;
  EXPECT_EQ(Ask(nullptr, audioMasterCanDo), 0);
  host.SetCanDos(host.CanDos() | (1u << hcdOpenFileSelector));
  EXPECT_EQ(Ask(nullptr, audioMasterCanDo, 0, 0, const_cast<char*>("openFileSelector")), 1);
  // A text without its end is read no further than 255 characters.
  std::vector<char> endless(300, 'a');
  EXPECT_EQ(Ask(nullptr, audioMasterCanDo, 0, 0, endless.data()), 0);
}

TEST_F(CallbackTest, ItemAnswersAndEvents) {
  TVstPlugIn& item = OpenItem();
  AEffect* e = item.VstEffect();
  item.ReplaceOrAccumulate = roa2Accumulate;
  item.CurrentProcessLevel = cpl2AudioThread;
  item.AutomationState = as4ReadWrite;
  EXPECT_EQ(Ask(e, audioMasterWillReplaceOrAccumulate), 2);
  EXPECT_EQ(Ask(e, audioMasterGetCurrentProcessLevel), 2);
  EXPECT_EQ(Ask(e, audioMasterGetAutomationState), 4);

  std::vector<std::string> events;
  item.OnAudioMasterAutomate = [&](TVstPlugIn& s, std::int32_t i, std::int32_t v) {
    events.push_back("automate " + std::to_string(i) + " " + std::to_string(v) + (&s == &item ? "" : " other"));
  };
  item.OnAudioMasterBeginEdit = [&](TVstPlugIn&, std::int32_t i) { events.push_back("begin " + std::to_string(i)); };
  item.OnAudioMasterEndEdit = [&](TVstPlugIn&, std::int32_t i) { events.push_back("end " + std::to_string(i)); };
  item.OnAudioMasterUpdateDisplay = [&](TVstPlugIn&) { events.push_back("display"); };
  item.OnAudioMasterWantMidi = [&](TVstPlugIn&) { events.push_back("midi"); };
  item.OnProcessEvents = [&](TVstPlugIn&, void* p) { events.push_back(p ? "events" : "no events"); };
  item.OnVendorSpecific = [&](std::int32_t, std::int32_t i, VstIntPtr, void*, float) { return i * 2; };
  int dummy = 0;
  Ask(e, audioMasterAutomate, 1, 0, nullptr, 0.5f);
  Ask(e, audioMasterBeginEdit, 2);
  Ask(e, audioMasterEndEdit, 2);
  Ask(e, audioMasterUpdateDisplay);
  Ask(e, audioMasterWantMidi);
  Ask(e, audioMasterProcessEvents, 0, 0, &dummy);
  EXPECT_EQ(Ask(e, audioMasterVendorSpecific, 21), 42);
  EXPECT_EQ(events, (std::vector<std::string>{"automate 1 0", "begin 2", "end 2", "display", "midi", "events"}));
  // The same requests from a record the host does not hold fire nothing.
  AEffect stranger{};
  Ask(&stranger, audioMasterBeginEdit, 3);
  EXPECT_EQ(Ask(&stranger, audioMasterVendorSpecific, 21), 0);
  EXPECT_EQ(events.size(), 6u);
}

TEST_F(CallbackTest, PinConnectedAnswersZeroForConnected) {
  TVstPlugIn& item = OpenItem();
  EXPECT_EQ(Ask(item.VstEffect(), audioMasterPinConnected, 0, 0), 0);  // no handler
  bool askedInput = false;
  item.OnAudioMasterPinConnected = [&](TVstPlugIn&, std::int32_t pin, bool isInput) {
    askedInput = isInput;
    return pin == 0;
  };
  EXPECT_EQ(Ask(item.VstEffect(), audioMasterPinConnected, 0, 0), 0);
  EXPECT_TRUE(askedInput);
  EXPECT_EQ(Ask(item.VstEffect(), audioMasterPinConnected, 3, 1), 1);
  EXPECT_FALSE(askedInput);
}

TEST_F(CallbackTest, IOChangedTakesTheNewCountsAndNothingElse) {
  TVstPlugIn& item = OpenItem();
  item.VstEffect()->numOutputs = 6;
  const int mark = Mark();
  EXPECT_EQ(Ask(item.VstEffect(), audioMasterIOChanged), 0);
  EXPECT_EQ(Plug().callCount, mark);
  AEffect* e = item.VstEffect();
  item.SetActive(false);
  EXPECT_EQ(item.numOutputs(), 0);
  EXPECT_EQ(Ask(e, audioMasterIOChanged), 0);  // the record is no longer the item's
}

TEST_F(CallbackTest, IdleRequestsAndAutomaticIdle) {
  TVstPlugIn& item = OpenItem();
  item.EditOpen(EditorParent());
  host.ManageIdleAutomaticly = true;
  int mark = Mark();
  Ask(item.VstEffect(), audioMasterIdle);
  EXPECT_TRUE(item.WantsIdle());
  EXPECT_EQ(OpcodesSince(mark), (std::vector<int>{effEditIdle, effEditIdle}));  // the item, then every open editor
  mark = Mark();
  Ask(item.VstEffect(), audioMasterNeedIdle);
  EXPECT_EQ(OpcodesSince(mark), std::vector<int>{effIdle});
}

TEST_F(CallbackTest, OutputSampleRateIsTakenOnlyWhenItIsARate) {
  TVstPlugIn& item = OpenItem();
  float told = 0;
  item.OnAudioMasterSetOutputSampleRate = [&](TVstPlugIn&, float rate) { told = rate; };
  const int mark = Mark();
  Ask(item.VstEffect(), audioMasterSetOutputSampleRate, 0, 0, nullptr, 96000.0f);
  EXPECT_EQ(told, 96000.0f);
  EXPECT_EQ(Ask(nullptr, audioMasterGetSampleRate), 96000);
  EXPECT_EQ(host.VstTimeInfo().SampleRate(), 44100.0);
  EXPECT_EQ(Plug().callCount, mark);  // open plug-ins are not told
  for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    Ask(nullptr, audioMasterSetOutputSampleRate, 0, 0, nullptr, bad);
  EXPECT_EQ(Ask(nullptr, audioMasterGetSampleRate), 96000);
}

TEST_F(CallbackTest, HostTextsAreCutToTheirBuffer) {
  host.VendorString = std::string(100, 'v');
  host.ProductString = "Tavolen";
  char text[64];
  std::memset(text, 'x', sizeof text);
  Ask(nullptr, audioMasterGetVendorString, 0, 0, text);
  EXPECT_EQ(std::strlen(text), 63u);
  Ask(nullptr, audioMasterGetProductString, 0, 0, text);
  EXPECT_STREQ(text, "Tavolen");
  EXPECT_EQ(Ask(nullptr, audioMasterGetVendorString), 0);  // no buffer: nothing written
}

TEST_F(CallbackTest, AFailingHandlerGivesZero) {
  TVstPlugIn& item = OpenItem();
  item.OnVendorSpecific = [](std::int32_t, std::int32_t, VstIntPtr, void*, float) -> std::int32_t {
    throw std::runtime_error("handler");
  };
  EXPECT_EQ(Ask(item.VstEffect(), audioMasterVendorSpecific), 0);
}

TEST_F(CallbackTest, WithoutAHostEveryAnswerIsZero) {
  TVstHost* saved = CurrentVstHost;
  CurrentVstHost = nullptr;
  EXPECT_EQ(Ask(nullptr, audioMasterVersion), 0);
  EXPECT_EQ(Ask(nullptr, audioMasterGetBlockSize), 0);
  CurrentVstHost = saved;
}

TEST_F(CallbackTest, WindowRequestMakesAHiddenFormAndShowsTheMessage) {
  VstWindow request{};
  std::strcpy(request.title, "Plug-in form");
  request.xPos = 10;
  request.width = 300;
  request.style = 1;
  EXPECT_EQ(Ask(nullptr, audioMasterOpenWindow, 0, 0, &request), 0);
  EXPECT_EQ(Ask(nullptr, audioMasterOpenWindow), 0);
  ASSERT_EQ(ui.windows.size(), 1u);
  EXPECT_EQ(ui.windows[0].title, L"Plug-in form");
  EXPECT_EQ(ui.windows[0].width, 300);
  EXPECT_EQ(ui.windows[0].style, 1);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].rfind("Please contact me if this happens: ", 0), 0u);
}

TEST_F(CallbackTest, FileSelectorReportsAFileOnlyWhenOneWasChosen) {
  TVstPlugIn& item = OpenItem();
  // Cancelled: no file, no success.
  item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstFileLoad);
  EXPECT_EQ(Plug().fileSelectorAnswer, 0);
  EXPECT_EQ(Plug().fileSelectorReturnPathSet, 0);
  EXPECT_EQ(host.HostFileDialog(), nullptr);
  ASSERT_EQ(ui.dialogs.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].title, L"Test plug-in file");
  EXPECT_EQ(ui.dialogs[0].filter, L"Wave (*.wav)|*.wav|");
  EXPECT_FALSE(ui.dialogs[0].save);

  // Chosen: the path and its length, and the plug-in's close frees the dialog.
  ui.choose = {L"C:\\music\\take.wav"};
  item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstFileSave);
  EXPECT_EQ(Plug().fileSelectorAnswer, 1);
  EXPECT_STREQ(Plug().fileSelectorPath, "C:\\music\\take.wav");
  EXPECT_EQ(Plug().fileSelectorSize, 17);
  EXPECT_TRUE(ui.dialogs[1].save);
  EXPECT_EQ(host.HostFileDialog(), nullptr);

  // A directory selection is not offered.
  item.CallDispatcher(kVendorSpecific, kHookFileSelector, kVstDirectorySelect);
  EXPECT_EQ(Plug().fileSelectorAnswer, 0);
  EXPECT_EQ(ui.dialogs.size(), 2u);
}

TEST_F(CallbackTest, OneFileSelectorAtATimeAndCloseMatchesTheTitle) {
  ui.choose = {L"a.wav"};
  VstFileSelect first{};
  std::strcpy(first.title, "First");
  EXPECT_EQ(Ask(nullptr, audioMasterOpenFileSelector, 0, 0, &first), 1);
  VstFileSelect second{};
  std::strcpy(second.title, "Second");
  EXPECT_EQ(Ask(nullptr, audioMasterOpenFileSelector, 0, 0, &second), 0);
  EXPECT_EQ(Ask(nullptr, audioMasterOpenFileSelector), 0);
  Ask(nullptr, audioMasterCloseFileSelector, 0, 0, &second);
  EXPECT_NE(host.HostFileDialog(), nullptr);
  first.command = kVstDirectorySelect;
  Ask(nullptr, audioMasterCloseFileSelector, 0, 0, &first);
  EXPECT_NE(host.HostFileDialog(), nullptr);
  first.command = kVstFileLoad;
  Ask(nullptr, audioMasterCloseFileSelector, 0, 0, &first);
  EXPECT_EQ(host.HostFileDialog(), nullptr);
}

TEST_F(CallbackTest, WindowAndDialogRequestsFromAnotherThreadGetNothing) {
  ui.choose = {L"a.wav"};
  VstFileSelect select{};
  VstWindow window{};
  VstIntPtr answers[2] = {-1, -1};
  std::thread audio([&] {
    answers[0] = Ask(nullptr, audioMasterOpenFileSelector, 0, 0, &select);
    answers[1] = Ask(nullptr, audioMasterOpenWindow, 0, 0, &window);
    Ask(nullptr, audioMasterCloseFileSelector, 0, 0, &select);
  });
  audio.join();
  EXPECT_EQ(answers[0], 0);
  EXPECT_EQ(answers[1], 0);
  EXPECT_TRUE(ui.dialogs.empty());
  EXPECT_TRUE(ui.windows.empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CallbackTest, FileTypeTextsAndCountsAreBounded) {
  ui.choose = {};
  std::vector<VstFileType> types(2);
  std::memset(types.data(), 'z', types.size() * sizeof(VstFileType));  // no NUL anywhere
  VstFileSelect select{};
  std::memset(select.title, 't', sizeof select.title);
  select.nbFileTypes = 2;
  select.fileTypes = types.data();
  EXPECT_EQ(Ask(nullptr, audioMasterOpenFileSelector, 0, 0, &select), 0);
  ASSERT_EQ(ui.dialogs.size(), 1u);
  EXPECT_EQ(ui.dialogs[0].title.size(), 1024u);
  const std::wstring z128(128, L'z'), z8(8, L'z');
  EXPECT_EQ(ui.dialogs[0].filter,
            z128 + L" (*." + z8 + L")|*." + z8 + L"|" + z128 + L" (*." + z8 + L")|*." + z8 + L"|");
  select.nbFileTypes = -5;
  Ask(nullptr, audioMasterOpenFileSelector, 0, 0, &select);
  EXPECT_EQ(ui.dialogs[1].filter, L"");
}

}  // namespace
}  // namespace tav::vst::testing
