// The WAV render window ("转换WAV文件"): the progress of a render of a
// segment of the current file into a WAV file, and its "中断" button. Its
// behaviour is TRenderController's; this class lays out the controls, plugs
// in the audio library's stream, the file and the engine's passes, and shows
// what it is told.
#pragma once

#include <string>

#include "player/core/render_controller.h"
#include "player/core/render_passes.h"
#include "toolkit/win32/comctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TForm7 : public TForm, private IRenderView {
 public:
  TForm7();
  ~TForm7() override;

  TProgressBar* ProgressBar1;
  TLabel* Label1;
  TButton* Button1;

  // Renders `job` of `source` (8-bit path) into `target` (UTF-8 path) and
  // returns when the render has ended. While one runs, a second only brings
  // this window to the front.
  TRenderOutcome ConvertToWav(const std::string& source, const std::string& target, const TRenderJob& job);
  void Button1Click() { controller_.Button1Click(); }
  bool Rendering() const { return controller_.Running(); }
  void BringForward() { ShowForward(); }

 private:
  // IRenderView
  void ShowForward() override;
  void SetButtonCaption(const std::string& text) override;
  void SetStatus(const std::string& text) override;
  void SetProgress(int32_t percent) override;
  void ProcessMessages() override;
  bool ProgramEnding() override;
  void Warn(const std::string& text) override;
  void ShowError(const std::string& message) override;
  void CloseWindow() override { Close(); }

  TEngineRenderLock lock_;
  TRenderController controller_{*this, lock_};
  TVstRenderPass vst_;
  TDspRenderPass dsp_;
};

}  // namespace tav::player
