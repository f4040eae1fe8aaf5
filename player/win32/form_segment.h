// The WAV segment window ("文件时间设置"): the segment of the current file
// to be saved, set from the main window's position slider, the choice of the
// plug-in pass, and "保存", which starts the render. Its behaviour is
// TSegmentController's; this class lays out the controls, reads the engine
// and shows what it is told.
#pragma once

#include "player/core/render_controller.h"
#include "player/core/window_links.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TFrmSWavs : public TForm, private ISegmentView, private ISegmentEngine {
 public:
  explicit TFrmSWavs(ISegmentLinks& links);
  ~TFrmSWavs() override;

  TLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
  TEdit *EditStart, *EditEnd;
  TButton *btnSl1, *btnSl2, *btnSave;
  TLabel* lblNewMax;
  TCheckBox* chkPlug;
  TRadioButton *rbVST, *rbDSP;

  void btnSl1Click() { controller_.SetStart(); }
  void btnSl2Click() { controller_.SetEnd(); }
  void btnSaveClick();
  // A stream was opened or closed: a window shown for another stream hides.
  void StreamChanged() { controller_.StreamChanged(); }
  TSegmentController& Controller() { return controller_; }

 private:
  // ISegmentView
  void ShowTimes(const std::string& start, const std::string& end, const std::string& length) override;
  void SetRadiosEnabled(bool enabled) override;
  void Warn(const std::string& text) override;
  void HideWindow() override;
  // ISegmentEngine
  uint32_t Stream() override;
  int64_t SecondsToBytes(double seconds) override;
  double BytesToSeconds(int64_t bytes) override;
  uint32_t OutActivity() override;
  int32_t SliderTenths() override { return links_.PositionTenths(); }
  TSegment Range() override;
  void SetRange(const TSegment& range) override;

  ISegmentLinks& links_;
  TSegmentController controller_{*this, *this};
};

}  // namespace tav::player
