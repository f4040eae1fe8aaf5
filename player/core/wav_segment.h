// The WAV segment window's rules apart from its controls: the segment's two
// byte positions on the decoding stream, the refusals of its "设置" and
// "保存" buttons, its time texts and which plug-in pass the render takes.
#pragma once

#include <cstdint>
#include <string>

namespace tav::player {

inline constexpr const char* kSegmentTimePattern = "h:mm:ss.d";
inline constexpr const char* kSegmentLengthPrefix = "估计总时间:";
inline constexpr const char* kStartAfterEnd = "起始时间不能大于结束时间,请重新设置!";
inline constexpr const char* kEndBeforeStart = "结束时间不能小于起始时间,请重新设置!";
inline constexpr const char* kOpenAFileFirst = "请打开一个文件!";
inline constexpr const char* kStopBeforeSave = "请暂停或停止播放再保存!";

// A position in seconds as the window shows it: "h:mm:ss.d" of the whole
// milliseconds (truncated; a negative or unknown time shows 0).
std::string SegmentTimeText(double seconds);
// "估计总时间:" and the segment's length.
std::string SegmentLengthText(double seconds);

struct TSegment {
  int64_t start = 0;  // bytes on the decoding stream
  int64_t end = 0;
};

// The start and end "设置" buttons with the slider's position in bytes.
// Each returns the refusal to show (the segment unchanged) or empty when the
// position was taken. Without a stream (or with a position the stream could
// not give, below 0) there is no position to take.
std::string SetSegmentStart(TSegment& segment, bool hasStream, int64_t position);
std::string SetSegmentEnd(TSegment& segment, bool hasStream, int64_t position);

// "保存": refused while the output stream plays (BASS_ACTIVE_PLAYING); a
// paused or stopped stream is accepted. Empty when the render may start.
std::string SaveRefusal(uint32_t outActivity);

// The passes a render takes from the window's choices: none unless
// "使用插件处理" is ticked, then the VST or the Winamp one.
struct TRenderChoice {
  bool effects = false;
  bool vst = true;
  bool dsp = false;
  // The two radio buttons are enabled exactly while the box is ticked.
  bool RadiosEnabled() const { return effects; }
  void ChooseVst() { vst = true, dsp = false; }
  void ChooseDsp() { dsp = true, vst = false; }
};

}  // namespace tav::player
