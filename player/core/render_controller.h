// The behaviour of the two WAV windows apart from their controls: the
// segment window (TSegmentController: the two "设置" buttons, the pass
// choice, "保存") and the render window (TRenderController: one render at a
// time, its progress texts, cancel, and what it tells the user at the end).
#pragma once

#include <cstdint>
#include <string>

#include "player/core/wav_render.h"
#include "player/core/wav_segment.h"

namespace tav::player {

inline constexpr const char* kRenderCancel = "中断";
inline constexpr const char* kRenderClose = "关闭";
inline constexpr const char* kRenderDone = "完成";
inline constexpr const char* kRenderRunningPrefix = "正在转换:";
inline constexpr const char* kRenderFinishing = "正在完成...";
inline constexpr const char* kRenderFinished = "转换完成!";
inline constexpr const char* kRenderFailed = "转换失败!";
inline constexpr const char* kRenderSourceFailed = "无法解码这个文件,不能转换为WAV文件!";
inline constexpr const char* kRenderSizeLimit = "WAV文件不能超过4GB,只保存了前面的部分!";
inline constexpr const char* kRenderPlugInBusy = "插件正忙,请稍后再保存!";

// "正在转换:" + the percentage + "%".
std::string RenderPercentText(int32_t percent);

// What the render window shows and asks of the window system.
class IRenderView {
 public:
  virtual ~IRenderView() = default;
  // Shows the window and brings it to the front.
  virtual void ShowForward() = 0;
  virtual void SetButtonCaption(const std::string& text) = 0;
  virtual void SetStatus(const std::string& text) = 0;
  virtual void SetProgress(int32_t percent) = 0;
  virtual void ProcessMessages() = 0;
  // The program is ending (its main window has closed).
  virtual bool ProgramEnding() = 0;
  // A warning box, caption "出错啦!".
  virtual void Warn(const std::string& text) = 0;
  // The toolkit's exception box with a file stream's message.
  virtual void ShowError(const std::string& message) = 0;
  virtual void CloseWindow() = 0;
};

// What the render holds of the live sample path while it runs.
class IRenderPassLock {
 public:
  virtual ~IRenderPassLock() = default;
  // The live fill leaves the plug-ins alone from now on; waits, bounded,
  // for a live call inside a plug-in to end. False (the lock is released
  // again) when one did not end in time.
  virtual bool Acquire() = 0;
  // The render's stream has this rate: the VST plug-in is told it.
  virtual void RenderRate(uint32_t rate) = 0;
  // The plug-in gets its rate from before back; the live fill takes the
  // plug-ins again.
  virtual void Release() = 0;
};

class TRenderController final {
 public:
  TRenderController(IRenderView& view, IRenderPassLock& lock) : view_(view), lock_(lock) {}

  bool Running() const { return render_.Running(); }
  // The render of `job` (copied: a file opened or a choice changed while it
  // runs does not reach it). While one runs, another only brings the window
  // to the front and answers Busy.
  TRenderOutcome ConvertToWav(const TRenderJob& job, IRenderSource& source, IRenderSink& sink,
                              const TRenderPasses& passes);
  // A render refused before it starts (`why`, for the warning box): the
  // window shows it as a render that failed ("转换失败!", "关闭"), not what
  // an earlier render left. While one runs, only brings the window forward
  // and answers Busy.
  TRenderOutcome Refuse(const std::string& why);
  // "中断" cancels the render; "关闭" closes the window.
  void Button1Click();
  // The window is being closed: a running render is cancelled as by "中断".
  void WindowClosing();
  bool CancelRequested() const { return cancel_; }

 private:
  class TProgress;
  // While a render runs: its window comes forward and `outcome` is Busy.
  bool AnswerBusy(TRenderOutcome& outcome);
  // The render has ended: the status text, and the button closes.
  void Finish(const char* status);
  IRenderView& view_;
  IRenderPassLock& lock_;
  TWavRender render_;
  bool cancel_ = false;
  bool locked_ = false;
  std::string button_ = kRenderCancel;
};

// What the segment window reads of the engine and the other windows.
class ISegmentEngine {
 public:
  virtual ~ISegmentEngine() = default;
  // DecodeStream; 0 for none.
  virtual uint32_t Stream() = 0;
  virtual int64_t SecondsToBytes(double seconds) = 0;
  virtual double BytesToSeconds(int64_t bytes) = 0;
  // BASS_ChannelIsActive of OutStream.
  virtual uint32_t OutActivity() = 0;
  // The main window's position slider, in tenths of a second.
  virtual int32_t SliderTenths() = 0;
  // RenderStart and RenderEnd.
  virtual TSegment Range() = 0;
  virtual void SetRange(const TSegment& range) = 0;
};

class ISegmentView {
 public:
  virtual ~ISegmentView() = default;
  virtual void ShowTimes(const std::string& start, const std::string& end, const std::string& length) = 0;
  virtual void SetRadiosEnabled(bool enabled) = 0;
  // A warning box owned by the window, caption "出错啦!".
  virtual void Warn(const std::string& text) = 0;
  virtual void HideWindow() = 0;
};

class TSegmentController final {
 public:
  TSegmentController(ISegmentView& view, ISegmentEngine& engine) : view_(view), engine_(engine) {}

  // The window shows for the stream open now.
  void Shown();
  // A stream was opened or closed since: the window's segment belongs to
  // a stream that is gone, and it hides.
  void StreamChanged();
  void SetStart() { SetEdge(&SetSegmentStart); }  // btnSl1Click
  void SetEnd() { SetEdge(&SetSegmentEnd); }      // btnSl2Click
  void PlugChecked(bool checked);
  void ChooseVst() { choice_.ChooseVst(); }
  void ChooseDsp() { choice_.ChooseDsp(); }
  const TRenderChoice& Choice() const { return choice_; }
  // "保存": true when the render may start with `job` (the segment and the
  // choice as they are now); false after the refusal was shown.
  bool Save(TRenderJob& job);

 private:
  // The stream the window was shown for is still the one open; else the
  // refusal is shown and the window hides.
  bool StreamStillThere();
  // The slider's position taken as one end of the segment by `rule`.
  void SetEdge(std::string (*rule)(TSegment&, bool, int64_t));
  void Refresh();
  ISegmentView& view_;
  ISegmentEngine& engine_;
  TRenderChoice choice_;
  uint32_t stream_ = 0;
};

}  // namespace tav::player
