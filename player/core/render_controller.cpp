#include "player/core/render_controller.h"

namespace tav::player {

std::string RenderPercentText(int32_t percent) {
  return kRenderRunningPrefix + std::to_string(percent) + "%";
}

// The render's view of the window while it runs.
class TRenderController::TProgress final : public IRenderProgress {
 public:
  explicit TProgress(TRenderController& owner) : owner_(owner) {}
  void ProcessMessages() override { owner_.view_.ProcessMessages(); }
  // "中断", closing the window and the end of the program all cancel.
  bool CancelRequested() override { return owner_.cancel_ || owner_.view_.ProgramEnding(); }
  void ShowPercent(int32_t percent) override {
    owner_.view_.SetProgress(percent);
    owner_.view_.SetStatus(RenderPercentText(percent));
  }
  void Starting(const TWavFormat& format) override {
    if (owner_.locked_) owner_.lock_.RenderRate(format.rate);
  }
  void Finishing() override { owner_.view_.SetStatus(kRenderFinishing); }

 private:
  TRenderController& owner_;
};

TRenderOutcome TRenderController::ConvertToWav(const TRenderJob& job, IRenderSource& source, IRenderSink& sink,
                                               const TRenderPasses& passes) {
  TRenderOutcome outcome;
  if (AnswerBusy(outcome)) return outcome;
  cancel_ = false;
  button_ = kRenderCancel;
  view_.SetButtonCaption(button_);
  view_.SetProgress(0);
  view_.SetStatus(RenderPercentText(0));
  view_.ShowForward();

  // The plug-ins are the render's alone while it runs; a render without a
  // pass leaves them to playback.
  const TRenderJob copy = job;
  locked_ = false;
  if (copy.effects) {
    if (!lock_.Acquire()) {
      view_.Warn(kRenderPlugInBusy);
      outcome.end = TRenderEnd::Busy;
      Finish(kRenderFailed);
      return outcome;
    }
    locked_ = true;
  }
  TProgress progress(*this);
  try {
    outcome = render_.Run(copy, source, sink, passes, progress);
  } catch (...) {
    // Run keeps its own failures; whatever else went wrong, the live path
    // gets its plug-ins back.
    if (locked_) lock_.Release();
    locked_ = false;
    Finish(kRenderFailed);
    throw;
  }
  if (locked_) lock_.Release();
  locked_ = false;

  switch (outcome.end) {
    case TRenderEnd::Done:
    case TRenderEnd::SourceEnded:
    case TRenderEnd::Cancelled:
      Finish(kRenderFinished);
      break;
    case TRenderEnd::SizeLimit:
      Finish(kRenderFinished);
      view_.Warn(kRenderSizeLimit);
      break;
    case TRenderEnd::SourceFailed:
      Finish(kRenderFailed);
      view_.Warn(kRenderSourceFailed);
      break;
    case TRenderEnd::TargetFailed:
    case TRenderEnd::WriteFailed:
      Finish(kRenderFailed);
      view_.ShowError(outcome.error);
      break;
    case TRenderEnd::Busy:
      break;
  }
  return outcome;
}

TRenderOutcome TRenderController::Refuse(const std::string& why) {
  TRenderOutcome outcome;
  if (AnswerBusy(outcome)) return outcome;
  view_.SetProgress(0);
  Finish(kRenderFailed);
  view_.ShowForward();
  view_.Warn(why);
  outcome.end = TRenderEnd::TargetFailed;
  outcome.error = why;
  return outcome;
}

bool TRenderController::AnswerBusy(TRenderOutcome& outcome) {
  if (!Running()) return false;
  view_.ShowForward();
  outcome.end = TRenderEnd::Busy;
  return true;
}

void TRenderController::Finish(const char* status) {
  view_.SetStatus(status);
  button_ = kRenderClose;
  view_.SetButtonCaption(button_);
}

void TRenderController::Button1Click() {
  if (button_ == kRenderCancel)
    cancel_ = true;
  else
    view_.CloseWindow();
}

void TRenderController::WindowClosing() {
  if (Running()) cancel_ = true;
}

// --- the segment window ------------------------------------------------------

void TSegmentController::Shown() {
  stream_ = engine_.Stream();
  Refresh();
  view_.SetRadiosEnabled(choice_.RadiosEnabled());
}

void TSegmentController::StreamChanged() {
  if (engine_.Stream() != stream_) view_.HideWindow();
}

bool TSegmentController::StreamStillThere() {
  const uint32_t now = engine_.Stream();
  if (now != 0 && now == stream_) return true;
  view_.Warn(kOpenAFileFirst);
  view_.HideWindow();
  return false;
}

void TSegmentController::Refresh() {
  const TSegment r = engine_.Range();
  view_.ShowTimes(SegmentTimeText(engine_.BytesToSeconds(r.start)), SegmentTimeText(engine_.BytesToSeconds(r.end)),
                  SegmentLengthText(engine_.BytesToSeconds(r.end - r.start)));
}

void TSegmentController::SetEdge(std::string (*rule)(TSegment&, bool, int64_t)) {
  if (!StreamStillThere()) return;
  TSegment r = engine_.Range();
  const std::string refusal = rule(r, true, engine_.SecondsToBytes(engine_.SliderTenths() / 10.0));
  if (!refusal.empty()) {
    view_.Warn(refusal);
    return;
  }
  engine_.SetRange(r);
  Refresh();
}

void TSegmentController::PlugChecked(bool checked) {
  choice_.effects = checked;
  view_.SetRadiosEnabled(choice_.RadiosEnabled());
}

bool TSegmentController::Save(TRenderJob& job) {
  if (!StreamStillThere()) return false;
  const std::string refusal = SaveRefusal(engine_.OutActivity());
  if (!refusal.empty()) {
    view_.Warn(refusal);
    return false;
  }
  const TSegment r = engine_.Range();
  job = TRenderJob{r.start, r.end, choice_.effects, choice_.vst, choice_.dsp};
  return true;
}

}  // namespace tav::player
