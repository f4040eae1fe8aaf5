// The main window's transport, timers, track changes and settings over a fake
// engine and a fake window.
#include "player/core/main_controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>

#include "player/core/display_texts.h"
#include "recording_store.h"

namespace tav::player {
namespace {

using Log = std::vector<std::string>;

struct FakeAudio : IMainAudio {
  Log log;
  bool decode = false, out = false, compat = false, address = false;
  std::map<std::string, bool> opens;  // path -> opens
  int64_t lengthBytes = 0;
  double seconds = 0, position = 0;
  uint32_t rate = 0, channels = 0, activity = 0;
  float volume = 1, direction = 1;
  bool vst = false;
  int level = 0;

  bool HasDecodeStream() override { return decode; }
  bool HasOutStream() override { return out; }
  bool OpenFile(const std::string& path) override {
    log.push_back("open " + path);
    decode = out = opens[path];
    if (decode) direction = 1;  // a new stream plays forwards
    return decode;
  }
  int64_t DecodeLengthBytes() override { return lengthBytes; }
  double DecodeBytesToSeconds(int64_t) override { return seconds; }
  double DecodePositionSeconds() override { return position; }
  void RewindDecode() override { log.push_back("rewind"); }
  void SetDecodeLoop(bool on) override { log.push_back(on ? "loop on" : "loop off"); }
  void SeekTenths(int32_t t) override { log.push_back("seek " + std::to_string(t)); }
  uint32_t StreamRate() override { return rate; }
  uint32_t StreamChannels() override { return channels; }
  void SetOutVolume(float v) override {
    volume = v;
    log.push_back("volume " + std::to_string(v));
  }
  float OutVolume() override { return volume; }
  void SlideOutVolume(float v, uint32_t ms) override {
    log.push_back("slide volume " + std::to_string(v) + " " + std::to_string(ms));
  }
  void SlideOutRate(float hz, uint32_t ms) override {
    log.push_back("slide rate " + std::to_string(int(hz)) + " " + std::to_string(ms));
  }
  uint32_t OutActivity() override { return activity; }
  void PlayCommand(std::string_view c, bool) override { log.push_back(std::string(c)); }
  void StopOut() override { log.push_back("stop out"); }
  bool CompatActive() override { return compat; }
  bool StreamIsAddress() override { return address; }
  float Direction() override { return direction; }
  void SetDirection(float d) override {
    direction = d;
    log.push_back("direction " + std::to_string(int(d)));
  }
  void FreeStreams() override {
    decode = out = false;
    log.push_back("free streams");
  }
  void FreeAllDevices() override { log.push_back("free devices"); }
  void Wait(uint32_t ms) override { log.push_back("wait " + std::to_string(ms)); }
  bool VstActive() override { return vst; }
  void SetVstTime(double samples, double quarters) override {
    log.push_back("vst " + std::to_string(int64_t(samples)) + " " + std::to_string(quarters));
  }
  int32_t VuLevel(std::string_view) override { return level; }
  std::string VuDbText(std::string_view side) override { return side == "L" ? "-03" : "-12"; }
  void SetRenderRange(int64_t s, int64_t e) override {
    log.push_back("render " + std::to_string(s) + " " + std::to_string(e));
  }
};

struct FakeView : IMainView {
  TMainController* controller = nullptr;
  std::map<MainText, std::string> texts;
  std::map<MainSlider, int> values{{MainSlider::Position, 0}, {MainSlider::Speed, 4410}, {MainSlider::Volume, 100}};
  std::map<MainSlider, int> maxima{{MainSlider::Position, 100}, {MainSlider::Speed, 10000}, {MainSlider::Volume, 100}};
  std::map<MainSlider, int> minima{{MainSlider::Position, 0}, {MainSlider::Speed, 10}, {MainSlider::Volume, 0}};
  std::map<MainCheck, bool> checks;
  std::array<std::string, 7> scale;
  std::string timeDisplay;
  Log warnings;
  int reapplied = 0, titleRestarts = 0;
  int timeDraws = 0;  // texts handed to the time display
  std::map<MainText, int> textSets;
  int meterLeft = -1, meterRight = -1;
  bool meterIdle = false;

  void SetText(MainText w, const std::string& t) override {
    texts[w] = t;
    ++textSets[w];
  }
  void SetTitleFromPath(const std::string& path) override { texts[MainText::Title] = std::string(FileNameOf(path)); }
  int SliderValue(MainSlider w) override { return values[w]; }
  int SliderMax(MainSlider w) override { return maxima[w]; }
  int SliderMin(MainSlider w) override { return minima[w]; }
  void SetSliderValue(MainSlider w, int v) override {
    v = std::clamp(v, minima[w], maxima[w]);
    if (values[w] == v) return;
    values[w] = v;
    if (w == MainSlider::Speed) controller->SpeedChanged(v);
    if (w == MainSlider::Volume) controller->VolumeChanged(v);
  }
  void SetPositionMax(int v) override { maxima[MainSlider::Position] = v; }
  bool Checked(MainCheck w) override { return checks[w]; }
  void SetChecked(MainCheck w, bool on) override { checks[w] = on; }
  void SetTimeScale(const std::array<std::string, 7>& t) override { scale = t; }
  void DrawTimeDisplay(const std::string& t) override {
    timeDisplay = t;
    ++timeDraws;
  }
  void DrawMeters(int l, int r, bool idle) override {
    meterLeft = l;
    meterRight = r;
    meterIdle = idle;
  }
  void RestartTitle() override { ++titleRestarts; }
  void Warn(const std::string& text) override { warnings.push_back(text); }
  void WarnNaming(const std::string& text, const std::string& name) override { warnings.push_back(text + name); }
  void ReapplyEffects() override { ++reapplied; }
};

struct Main : ::testing::Test {
  FakeAudio audio;
  FakeView view;
  TPlayListModel list;
  int32_t playIndex = 0;
  TMainController main{audio, view, list, playIndex};

  void SetUp() override { view.controller = &main; }
  // A 70-second stereo stream at 48 kHz, opened and playing.
  void Open(const std::string& path = "C:\\m\\song.wav") {
    audio.opens[path] = true;
    audio.lengthBytes = 70 * 48000 * 4;
    audio.seconds = 70.0;
    audio.rate = 48000;
    audio.channels = 2;
    ASSERT_TRUE(audio.OpenFile(path));
    main.SendPlays(path);
    audio.activity = 1;
    audio.log.clear();
  }
  bool Logged(const std::string& entry) const {
    return std::find(audio.log.begin(), audio.log.end(), entry) != audio.log.end();
  }
  std::string Text(MainText w) { return view.texts[w]; }
};

TEST_F(Main, SendPlaysSetsUpTheWindowAndPlaysWithAFadeIn) {
  view.values[MainSlider::Volume] = 40;
  audio.opens["C:\\m\\song.wav"] = true;
  audio.lengthBytes = 1234;
  audio.seconds = 70.0;
  audio.rate = 22050;
  audio.channels = 1;
  audio.OpenFile("C:\\m\\song.wav");
  main.SendPlays("C:\\m\\song.wav");
  EXPECT_EQ(Text(MainText::Title), "song.wav");
  EXPECT_EQ(Text(MainText::MaxTime), "MaxTime:0:01:10");
  EXPECT_EQ(Text(MainText::Rate), "采样率:22050Hz");
  EXPECT_EQ(Text(MainText::Channels), "声道:单声道");
  EXPECT_EQ(Text(MainText::Speed), "Speed:100%");
  EXPECT_EQ(Text(MainText::PlayButton), "暂停");
  EXPECT_EQ(view.maxima[MainSlider::Position], 700);
  EXPECT_EQ(view.scale[0], "0:00:08");
  EXPECT_EQ(view.reapplied, 1);
  EXPECT_EQ(view.titleRestarts, 1);
  EXPECT_TRUE(main.Playing());
  EXPECT_DOUBLE_EQ(main.TotalSeconds(), 70.0);
  // every fade-in ends at the volume slider's value
  const Log tail(audio.log.end() - 3, audio.log.end());
  EXPECT_EQ(tail, (Log{"volume 0.000000", "PLAY", "slide volume 0.400000 650"}));
  EXPECT_TRUE(Logged("render 0 1234"));
  EXPECT_TRUE(Logged("loop off"));
}

TEST_F(Main, ShortStreamsAndAddressesGetAPositionRangeOfAtLeastOneSecond) {
  audio.decode = audio.out = true;
  audio.lengthBytes = -1;
  audio.seconds = -1;
  main.SendPlaysAddress();
  EXPECT_EQ(view.maxima[MainSlider::Position], 10);
  EXPECT_EQ(Text(MainText::Title), "网络在线");
  EXPECT_EQ(Text(MainText::MaxTime), "MaxTime:0:00:00");
  audio.seconds = 0.25;
  main.SendPlays("C:\\short.wav");
  EXPECT_EQ(view.maxima[MainSlider::Position], 10);
}

TEST_F(Main, PlayWithoutAStreamDoesNothing) {
  main.PlayButtonClick();
  main.StopClick();
  EXPECT_TRUE(audio.log.empty());
  EXPECT_EQ(Text(MainText::PlayButton), "");
}

TEST_F(Main, PauseCompletesOnTheFirstTitleTickAtZeroVolume) {
  Open();
  main.PlayButtonClick();
  EXPECT_TRUE(main.PausePending());
  EXPECT_TRUE(Logged("slide volume 0.000000 650"));
  audio.volume = 0.3f;
  main.TitleTick();
  EXPECT_FALSE(Logged("PAUSE"));
  EXPECT_EQ(Text(MainText::PlayButton), "暂停");
  audio.volume = 0;
  main.TitleTick();
  EXPECT_TRUE(Logged("PAUSE"));
  EXPECT_EQ(Text(MainText::PlayButton), "播放");
  EXPECT_FALSE(main.PausePending());
}

TEST_F(Main, ResumingCancelsAPendingPauseSoALaterMuteDoesNotPause) {
  Open();
  main.PlayButtonClick();  // pause fade starts
  main.PlayButtonClick();  // and play again before it ends
  EXPECT_FALSE(main.PausePending());
  main.Mute();
  audio.volume = 0;
  main.TitleTick();
  EXPECT_FALSE(Logged("PAUSE"));
  EXPECT_TRUE(main.Playing());
}

TEST_F(Main, PauseDuringAStopFadeCompletesBothOnOneTick) {
  Open();
  main.StopClick();
  main.PlayButtonClick();  // the button still reads "暂停"
  EXPECT_TRUE(main.StopPending());
  EXPECT_TRUE(main.PausePending());
  audio.volume = 0;
  main.TitleTick();
  EXPECT_EQ(audio.log.back(), "rewind");
  EXPECT_TRUE(Logged("PAUSE"));
  EXPECT_TRUE(Logged("STOP"));
  EXPECT_FALSE(main.Playing());
  EXPECT_EQ(Text(MainText::PlayButton), "播放");
}

TEST_F(Main, CloseMediaFadesFreesAndClearsPendingFades) {
  Open();
  main.StopClick();
  main.CloseMedia();
  EXPECT_EQ(audio.log, (Log{"slide volume 0.000000 650", "slide volume 0.000000 350", "wait 350", "stop out",
                            "rewind", "free streams"}));
  EXPECT_FALSE(main.StopPending());
  EXPECT_EQ(Text(MainText::Title), "Morvik小型可调速音乐播放器");
  EXPECT_EQ(Text(MainText::MaxTime), "MaxTime:");
  EXPECT_EQ(Text(MainText::Rate), "采样率: Hz");
  EXPECT_EQ(Text(MainText::Channels), "声道:");
  EXPECT_EQ(view.scale[6], "0:00:00");
}

TEST_F(Main, SpeedSliderAndRestore) {
  Open();
  view.SetSliderValue(MainSlider::Speed, 2205);
  EXPECT_EQ(audio.log.back(), "slide rate 22050 250");
  EXPECT_EQ(Text(MainText::Speed), "Speed:50%");
  view.SetSliderValue(MainSlider::Speed, 10);
  EXPECT_EQ(Text(MainText::Speed), "Speed:0%");
  audio.rate = 44123;
  main.RestoreSpeed();
  EXPECT_EQ(view.values[MainSlider::Speed], 4412);
  EXPECT_EQ(audio.log.back(), "slide rate 44123 250");  // the exact rate, last
}

TEST_F(Main, RestoreSpeedWithoutAStreamGoesBackToOneHundredPercent) {
  view.values[MainSlider::Speed] = 2000;
  main.RestoreSpeed();
  EXPECT_EQ(view.values[MainSlider::Speed], 4410);
  EXPECT_EQ(Text(MainText::Speed), "Speed:100%");
}

TEST_F(Main, VolumeStepsStopAtTheEnds) {
  Open();
  main.VolumeUp();
  EXPECT_EQ(view.values[MainSlider::Volume], 100);
  main.VolumeDown();
  EXPECT_EQ(view.values[MainSlider::Volume], 90);
  EXPECT_EQ(audio.log.back(), "slide volume 0.900000 250");
  main.Mute();
  main.VolumeDown();
  EXPECT_EQ(view.values[MainSlider::Volume], 0);
}

TEST_F(Main, ReversePlay) {
  main.ReverseClick();  // no stream: nothing, no direction read
  EXPECT_TRUE(audio.log.empty());
  Open();
  main.ReverseClick();
  EXPECT_EQ(audio.log.back(), "direction -1");
  EXPECT_TRUE(view.checks[MainCheck::Reverse]);
  main.ReverseClick();
  EXPECT_EQ(audio.log.back(), "direction 1");
  EXPECT_FALSE(view.checks[MainCheck::Reverse]);
  audio.compat = true;
  main.ReverseClick();
  EXPECT_EQ(view.warnings, (Log{"无法在兼容模式缓冲区的情况下使用此功能"}));
}

// A new stream starts forwards and closing the media ends the reverse play:
// either way the check mark goes.
TEST_F(Main, TheReverseMarkGoesWithANewStreamAndWithClosingTheMedia) {
  Open();
  main.ReverseClick();
  ASSERT_TRUE(view.checks[MainCheck::Reverse]);
  Open("C:\\m\\next.wav");
  EXPECT_FALSE(view.checks[MainCheck::Reverse]) << "a new file";
  main.ReverseClick();
  ASSERT_TRUE(view.checks[MainCheck::Reverse]);
  main.CloseMedia();
  EXPECT_FALSE(view.checks[MainCheck::Reverse]) << "关闭媒体";
}

TEST_F(Main, LoopModesExcludeEachOther) {
  Open();
  main.SingleLoopClick();
  EXPECT_EQ(audio.log.back(), "loop on");
  main.ListLoopClick();
  EXPECT_TRUE(view.checks[MainCheck::ListLoop]);
  EXPECT_FALSE(view.checks[MainCheck::SingleLoop]);
  EXPECT_EQ(audio.log.back(), "loop on");  // the flag stays until the next stream
  main.SingleLoopClick();
  EXPECT_FALSE(view.checks[MainCheck::ListLoop]);
}

TEST_F(Main, WaveRenderNeedsALocalFile) {
  EXPECT_FALSE(main.MayRenderWave());
  Open();
  EXPECT_TRUE(main.MayRenderWave());
  audio.address = true;
  EXPECT_FALSE(main.MayRenderWave());
  EXPECT_EQ(view.warnings, (Log{"请打开一个文件!", "请打开一个文件!"}));
  EXPECT_EQ(WaveTargetName("C:\\a.WAV"), "C:\\a.WAV.wav");
  EXPECT_EQ(WaveTargetName("C:\\a.wav"), "C:\\a.wav");
  EXPECT_EQ(WaveTargetName("C:\\a"), "C:\\a.wav");
}

TEST_F(Main, DialogAddsEvenAFailingFileButADropOnlyOneThatOpens) {
  main.OpenFromDialog("C:\\broken.mp3");
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(playIndex, 0);
  main.OpenDropped("C:\\broken2.mp3");
  EXPECT_EQ(list.Count(), 1);
  audio.opens["C:\\good.wav"] = true;
  main.OpenDropped("C:\\good.wav");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(playIndex, 1);
  EXPECT_EQ(list.Selected(), 1);
  EXPECT_EQ(Text(MainText::Title), "good.wav");
}

// A file that does not open while another plays (the engine has freed the
// playing stream first): whichever way it came, the window shows no media,
// as "关闭媒体" leaves it, the transport does nothing, and a box names the
// file. What joins the list stays as before.
TEST_F(Main, AFileThatDoesNotOpenShowsNoMediaAndIsNamed) {
  struct Case {
    const char* what;
    std::function<void()> open;
    int listCount;
  };
  const std::string bad = "C:\\m\\notes.txt";
  const Case cases[] = {
      {"open dialog", [&] { main.OpenFromDialog(bad); }, 1},
      {"drop", [&] { main.OpenDropped(bad); }, 0},
      {"next button",
       [&] {
         list.Add(bad);
         list.Select(0);
         playIndex = 0;
         main.NextClick();
       },
       1},
      {"address", [&] { main.NotOpenedAddress("http://127.0.0.1:9/x.mp3"); }, 0},
  };
  for (const Case& c : cases) {
    list.Clear();
    view.warnings.clear();
    Open();
    main.Mute();  // a later volume of 0 must not find a fade to complete
    main.ReverseClick();
    c.open();
    EXPECT_FALSE(audio.HasDecodeStream()) << c.what;
    EXPECT_EQ(Text(MainText::Title), "Morvik小型可调速音乐播放器") << c.what;
    EXPECT_EQ(Text(MainText::PlayButton), "播放") << c.what;
    EXPECT_EQ(Text(MainText::MaxTime), "MaxTime:") << c.what;
    EXPECT_EQ(Text(MainText::Rate), "采样率: Hz") << c.what;
    EXPECT_EQ(Text(MainText::Channels), "声道:") << c.what;
    EXPECT_EQ(view.scale[6], "0:00:00") << c.what;
    EXPECT_FALSE(view.checks[MainCheck::Reverse]) << c.what;
    EXPECT_FALSE(main.Playing()) << c.what;
    ASSERT_EQ(view.warnings.size(), 1u) << c.what;
    const bool address = std::string(c.what) == "address";
    EXPECT_EQ(view.warnings[0], address ? std::string(kAddressNotOpened) + "http://127.0.0.1:9/x.mp3"
                                        : std::string(kFileNotOpened) + bad)
        << c.what;
    EXPECT_EQ(list.Count(), c.listCount) << c.what;
    audio.log.clear();
    main.PlayButtonClick();
    main.StopClick();
    main.CloseMedia();
    audio.volume = 0;
    main.TitleTick();
    EXPECT_EQ(audio.log, Log{}) << c.what << ": the transport does nothing";
  }
  EXPECT_EQ(list.Selected(), -1);
  main.OpenFromDialog(bad);
  EXPECT_EQ(list.Selected(), 0) << "the dialog's file is selected though it did not open";
  EXPECT_EQ(playIndex, 0);
}

// Backwards play that reaches the start ends as a stop does: once the output
// has stopped by itself the button reads "播放" and the stream is rewound;
// the list does not move on.
TEST_F(Main, BackwardsPlayThatReachesTheStartShowsStopped) {
  list.Add("C:\\m\\song.wav");
  list.Add("C:\\m\\next.wav");
  list.Select(0);
  Open();
  audio.position = 3.0;
  main.ReverseClick();
  main.PositionTick();
  audio.position = 0;
  main.PositionTick();  // the output still plays what it holds
  EXPECT_EQ(Text(MainText::PlayButton), "暂停");
  audio.activity = 0;
  audio.log.clear();
  main.PositionTick();
  EXPECT_EQ(Text(MainText::PlayButton), "播放");
  EXPECT_FALSE(main.Playing());
  EXPECT_TRUE(Logged("stop out"));
  EXPECT_TRUE(Logged("rewind"));
  EXPECT_FALSE(Logged("open C:\\m\\next.wav"));
  EXPECT_EQ(playIndex, 0);
  // Paused backwards, or stopped by the stop button: nothing more.
  audio.log.clear();
  main.PositionTick();
  EXPECT_EQ(audio.log, Log{});
  main.PlayButtonClick();
  audio.activity = 3;
  main.PositionTick();
  EXPECT_EQ(Text(MainText::PlayButton), "暂停");
}

TEST_F(Main, PositionTickMovesSliderTextsAndMeters) {
  Open();
  audio.position = 12.345;
  audio.level = 80;
  main.PositionTick();
  EXPECT_EQ(view.values[MainSlider::Position], 123);
  EXPECT_EQ(Text(MainText::Seconds), "Seconds:0012.3 s");
  EXPECT_EQ(view.timeDisplay, "0:00:12.3");
  EXPECT_EQ(view.meterLeft, 80);
  EXPECT_FALSE(view.meterIdle);
  audio.activity = 3;
  main.PositionTick();
  EXPECT_EQ(view.meterLeft, 76);  // falls by 4 a tick while paused
  EXPECT_TRUE(view.meterIdle);
  main.StartTracking();
  view.values[MainSlider::Position] = 300;
  main.PositionTick();
  EXPECT_EQ(view.timeDisplay, "0:00:30.0");
  EXPECT_EQ(view.values[MainSlider::Position], 300);
  main.StopTracking();
  EXPECT_EQ(audio.log.back(), "seek 300");
}

// The position texts are handed to the window only when the position they
// show moves: at rest, with or without a stream, the timer draws no text.
TEST_F(Main, PositionTextsAreDrawnOnlyWhenThePositionMoves) {
  main.PositionTick();  // the first tick draws what nothing has shown yet
  EXPECT_EQ(view.timeDraws, 1);
  EXPECT_EQ(view.textSets[MainText::Seconds], 1);
  EXPECT_EQ(Text(MainText::Seconds), "Seconds:0000.0 s");
  for (int i = 0; i < 5; ++i) main.PositionTick();
  EXPECT_EQ(view.timeDraws, 1);
  EXPECT_EQ(view.textSets[MainText::Seconds], 1);

  Open();
  audio.position = 1.2344;
  main.PositionTick();
  EXPECT_EQ(view.timeDraws, 2);
  audio.position = 1.2346;  // the same millisecond: the same texts
  main.PositionTick();
  EXPECT_EQ(view.timeDraws, 2);
  audio.position = 1.236;
  main.PositionTick();
  EXPECT_EQ(view.timeDraws, 3);
  EXPECT_EQ(view.textSets[MainText::Seconds], 3);
  EXPECT_EQ(view.timeDisplay, "0:00:01.2");

  // Dragging shows the slider's time, once per change of it.
  main.StartTracking();
  view.values[MainSlider::Position] = 40;
  main.PositionTick();
  main.PositionTick();
  EXPECT_EQ(view.timeDraws, 4);
  EXPECT_EQ(view.timeDisplay, "0:00:04.0");
}

TEST_F(Main, VstTimeWithoutAStreamIsZeroNotADivisionByZero) {
  audio.vst = true;
  main.PositionTick();
  EXPECT_EQ(audio.log.back(), "vst 0 0.000000");
  Open();
  audio.position = 1.5;
  main.PositionTick();
  EXPECT_EQ(audio.log.back(), "vst 72000 3.000000");
}

TEST_F(Main, LevelTexts) {
  main.LevelTextTick();
  EXPECT_EQ(Text(MainText::LevelLeft), "左:-03dB");
  EXPECT_EQ(Text(MainText::LevelRight), "右:-12dB");
}

TEST_F(Main, SeekKeysPassTheTargetOnUnclamped) {
  Open();
  view.maxima[MainSlider::Position] = 100;  // a 10-second track
  audio.position = 9.7;
  main.SeekStep(0);
  EXPECT_EQ(audio.log.back(), "seek 147");
  audio.position = 0.3;
  main.SeekStep(3);
  EXPECT_EQ(audio.log.back(), "seek -2");
  audio.position = 0;
  audio.log.clear();
  main.SeekStep(1);
  main.SeekStep(3);
  EXPECT_TRUE(audio.log.empty());
}

struct ListEnd : Main {
  void SetUp() override {
    Main::SetUp();
    for (const char* p : {"C:\\a.wav", "C:\\b.mp3", "C:\\c.ogg"}) {
      list.Add(p);
      audio.opens[p] = true;
    }
  }
  // The position timer at the exact end of entry `index`.
  void EndOf(int index) {
    playIndex = index;
    list.Select(index);
    Open(list.Path(index));
    audio.position = audio.seconds;
    audio.activity = 0;  // the output has played what it held
    main.PositionTick();
  }
};

TEST_F(ListEnd, TheEndWaitsUntilTheOutputHasPlayedWhatItHolds) {
  playIndex = 0;
  list.Select(0);
  Open(list.Path(0));
  audio.log.clear();
  audio.position = audio.seconds;
  audio.activity = 1;
  main.PositionTick();
  EXPECT_FALSE(Logged("open C:\\b.mp3"));
  EXPECT_EQ(playIndex, 0);
  audio.activity = 0;
  main.PositionTick();
  EXPECT_TRUE(Logged("open C:\\b.mp3"));
  EXPECT_EQ(playIndex, 1);
}

TEST_F(ListEnd, AdvancesThroughTheListAndStopsAfterTheLast) {
  EndOf(0);
  EXPECT_EQ(audio.log.front(), "open C:\\b.mp3");
  EXPECT_EQ(playIndex, 1);
  EXPECT_EQ(list.Selected(), 1);
  EndOf(2);
  EXPECT_FALSE(Logged("open C:\\a.wav"));
  EXPECT_TRUE(Logged("stop out"));
  EXPECT_EQ(audio.log.back().substr(0, 6), "rewind");
  EXPECT_EQ(Text(MainText::PlayButton), "播放");
}

TEST_F(ListEnd, ListLoopStartsEntryZeroAgain) {
  view.checks[MainCheck::ListLoop] = true;
  EndOf(2);
  EXPECT_EQ(audio.log.front(), "open C:\\a.wav");
  EXPECT_EQ(playIndex, 0);
}

TEST_F(ListEnd, SingleTrackLoopNeverChangesTrack) {
  view.checks[MainCheck::SingleLoop] = true;
  EndOf(1);
  EXPECT_FALSE(Logged("open C:\\c.ogg"));
  EXPECT_FALSE(Logged("stop out"));
}

TEST_F(ListEnd, AnEntryThatDoesNotOpenLeavesTheNewEntrySelected) {
  audio.opens["C:\\b.mp3"] = false;
  EndOf(0);
  EXPECT_EQ(list.Selected(), 1);
  EXPECT_FALSE(audio.HasDecodeStream());
  EXPECT_EQ(Text(MainText::Title), "Morvik小型可调速音乐播放器");
  EXPECT_EQ(Text(MainText::PlayButton), "播放");
  EXPECT_EQ(view.warnings, Log{std::string(kFileNotOpened) + "C:\\b.mp3"});
}

TEST_F(ListEnd, AStrayPlayIndexStopsInsteadOfReadingPastTheList) {
  Open(list.Path(0));
  list.Select(0);
  playIndex = 2;  // the list was changed under the playing entry
  audio.position = audio.seconds;
  audio.activity = 0;
  main.PositionTick();
  EXPECT_TRUE(Logged("stop out"));
  EXPECT_FALSE(main.Playing());
}

TEST_F(ListEnd, NextAndPreviousButtons) {
  playIndex = 0;
  list.Select(0);
  main.PreviousClick();
  EXPECT_EQ(audio.log.back().substr(0, 4), "slid");
  EXPECT_EQ(playIndex, 2);
  EXPECT_EQ(Text(MainText::Title), "c.ogg");
  main.NextClick();
  EXPECT_EQ(playIndex, 0);
  EXPECT_EQ(Text(MainText::Title), "a.wav");
}

TEST_F(Main, SettingsAreReadAndWrittenInTheirOrder) {
  RecordingStore store{"FormMain"};
  store.values = {{"Volume", 40}, {"muloopplay", 1}, {"Left", 10}};
  const WindowPlace place = main.ReadSettings(store, {196, 114});
  EXPECT_EQ(place.Left, 10);
  EXPECT_EQ(place.Top, 114);
  EXPECT_EQ(view.values[MainSlider::Volume], 40);
  EXPECT_EQ(audio.log.back(), "slide volume 0.400000 250");  // the change fired
  EXPECT_TRUE(view.checks[MainCheck::SingleLoop]);
  EXPECT_FALSE(view.checks[MainCheck::ListLoop]);
  main.WriteSettings(store, {20, 30});
  EXPECT_EQ(store.log, (Log{"read Left", "read Top", "read Volume", "read muloopplay", "read mulistloop",
                            "write Left", "write Top", "write Volume", "write muloopplay", "write mulistloop"}));
  EXPECT_EQ(store.values["Volume"], 40);
  store.failAt = store.writes + 1;
  EXPECT_NO_THROW(main.WriteSettings(store, {20, 30}));
}

TEST_F(Main, ShutdownFadesAndFreesEveryDevice) {
  Open();
  main.Shutdown();
  EXPECT_EQ(audio.log, (Log{"slide volume 0.000000 350", "wait 350", "free streams", "free devices"}));
  audio.log.clear();
  audio.activity = 0;
  main.Shutdown();
  EXPECT_EQ(audio.log, (Log{"free streams", "free devices"}));
}

}  // namespace
}  // namespace tav::player
