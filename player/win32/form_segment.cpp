#include "player/win32/form_segment.h"

#include "bass.h"
#include "player/win32/look.h"
#include "tav/engine/globals.h"

namespace tav::player {

namespace {
// Layout (client 263 x 330): the help lines, the two positions with their
// buttons, the length, the plug-in note, the check box with its two choices,
// and "保存" at the bottom.
constexpr int kClientWidth = 263, kClientHeight = 330;
constexpr int kHelpTop = 8, kLineStep = 15;
constexpr TRect kLabel1{8, 110, 0, 0};
constexpr TRect kEditStart{68, 106, 180, 127};
constexpr TRect kBtnSl1{190, 105, 253, 128};
constexpr TRect kLabel2{8, 141, 0, 0};
constexpr TRect kEditEnd{68, 137, 180, 158};
constexpr TRect kBtnSl2{190, 136, 253, 159};
constexpr TRect kLblNewMax{8, 170, 255, 184};
constexpr TRect kLabel9{8, 194, 0, 0};
constexpr TRect kLabel10{8, 209, 0, 0};
constexpr TRect kChkPlug{8, 232, 200, 249};
constexpr TRect kRbVst{26, 254, 200, 271};
constexpr TRect kRbDsp{26, 275, 200, 292};
constexpr TRect kBtnSave{94, 298, 169, 322};

constexpr const wchar_t* kHelp[] = {
    L"设置需要保存的时间段,默认是保存整个文件",  L"的时间段。如果需要分段保存,请设置如下的",
    L"\u201c起始位置\u201d和\u201c结束位置\u201d:拖动主窗口的", L"播放进度条到需要的时间,按对应的\u201c设置\u201d",
    L"即可设置好时间。当然也可以边听边设置,最",  L"后按\u201c保存\u201d按钮开始保存。",
};
constexpr const wchar_t* kHint = L"双击调出插件配置对话框";
}  // namespace

TFrmSWavs::TFrmSWavs(ISegmentLinks& links) : links_(links) {
  SetCaption(L"文件时间设置");
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  SetClientSize(kClientWidth, kClientHeight);

  TLabel** help[] = {&Label3, &Label4, &Label5, &Label6, &Label7, &Label8};
  for (size_t i = 0; i < std::size(help); ++i)
    *help[i] = Placed<TLabel>(this, TRect{8, kHelpTop + int(i) * kLineStep, 0, 0}, kHelp[i]);
  Label1 = Placed<TLabel>(this, kLabel1, L"起始位置:");
  Label2 = Placed<TLabel>(this, kLabel2, L"结束位置:");
  for (auto [edit, place] : {std::pair{&EditStart, kEditStart}, std::pair{&EditEnd, kEditEnd}}) {
    *edit = Placed<TEdit>(this, place);
    (*edit)->SetReadOnly(true);
    (*edit)->SetFont(MakeFont(L"Tahoma", 8, clBlack));
    (*edit)->SetColor(clWindow);
    (*edit)->SetText(L"0:00:00.0");
  }
  btnSl1 = Placed<TButton>(this, kBtnSl1, L"设置");
  btnSl1->OnClick = [this](TObject*) { btnSl1Click(); };
  btnSl2 = Placed<TButton>(this, kBtnSl2, L"设置");
  btnSl2->OnClick = [this](TObject*) { btnSl2Click(); };
  // A width of its own: the text changes with every segment.
  lblNewMax = Make<TLabel>(L"估计总时间:0:00:00.0");
  lblNewMax->SetAutoSize(false);
  PlaceControl(lblNewMax, kLblNewMax);
  Label9 = Placed<TLabel>(this, kLabel9, L"如果想要给保存的文件加一些效果,可以勾选");
  Label10 = Placed<TLabel>(this, kLabel10, L"下面的\u201c使用插件处理\u201d选项。");

  chkPlug = Placed<TCheckBox>(this, kChkPlug, L"使用插件处理");
  chkPlug->OnClick = [this](TObject*) { controller_.PlugChecked(chkPlug->Checked()); };
  rbVST = Placed<TRadioButton>(this, kRbVst, L"VST插件效果器");
  rbVST->SetChecked(true);
  rbDSP = Placed<TRadioButton>(this, kRbDsp, L"Winamp效果器");
  for (TRadioButton* rb : {rbVST, rbDSP}) {
    rb->SetHint(kHint);
    rb->SetShowHint(true);
    rb->SetEnabled(false);
  }
  rbVST->OnClick = [this](TObject*) { controller_.ChooseVst(); };
  rbDSP->OnClick = [this](TObject*) { controller_.ChooseDsp(); };
  rbVST->OnDblClick = [this](TObject*) { links_.ShowVstWindow(); };
  rbDSP->OnDblClick = [this](TObject*) { links_.ShowDspPage(); };

  btnSave = Placed<TButton>(this, kBtnSave, L"保存");
  btnSave->OnClick = [this](TObject*) { btnSaveClick(); };

  OnShow = [this](TObject*) { controller_.Shown(); };
}

TFrmSWavs::~TFrmSWavs() = default;

void TFrmSWavs::btnSaveClick() {
  TRenderJob job;
  if (!controller_.Save(job)) return;
  Close();
  links_.RunWaveRender(job);
}

void TFrmSWavs::ShowTimes(const std::string& start, const std::string& end, const std::string& length) {
  EditStart->SetText(Widen(start));
  EditEnd->SetText(Widen(end));
  lblNewMax->SetCaption(Widen(length));
}

void TFrmSWavs::SetRadiosEnabled(bool enabled) {
  rbVST->SetEnabled(enabled);
  rbDSP->SetEnabled(enabled);
}

void TFrmSWavs::Warn(const std::string& text) {
  MessageBoxW(Handle(), Widen(text).c_str(), L"出错啦!", MB_OK | MB_ICONWARNING);
}

void TFrmSWavs::HideWindow() {
  if (Visible()) Close();
}

uint32_t TFrmSWavs::Stream() { return tav::engine::StreamState.DecodeStream; }

int64_t TFrmSWavs::SecondsToBytes(double seconds) {
  const QWORD bytes = BASS_ChannelSeconds2Bytes(Stream(), seconds);
  return bytes == static_cast<QWORD>(-1) ? -1 : static_cast<int64_t>(bytes);
}

double TFrmSWavs::BytesToSeconds(int64_t bytes) {
  return bytes < 0 ? 0.0 : BASS_ChannelBytes2Seconds(Stream(), static_cast<QWORD>(bytes));
}

uint32_t TFrmSWavs::OutActivity() { return BASS_ChannelIsActive(tav::engine::StreamState.OutStream); }

TSegment TFrmSWavs::Range() {
  return {tav::engine::StreamState.RenderStart, tav::engine::StreamState.RenderEnd};
}

void TFrmSWavs::SetRange(const TSegment& range) {
  tav::engine::StreamState.RenderStart = range.start;
  tav::engine::StreamState.RenderEnd = range.end;
}

}  // namespace tav::player
