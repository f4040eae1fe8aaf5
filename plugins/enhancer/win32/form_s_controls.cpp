// The enhancer window's parameter controls: the sliders and check boxes of
// the bass and music panels, the settings panel's scope controls, the hint
// strips, and bringing stored or loaded values onto them.
#include "win32/form_s.h"
#include "window/value_texts.h"

namespace brindle::win32 {
namespace {

using namespace tav;
using P = Param;

constexpr TColor kStripColour = RGBColor(100, 100, 100);
constexpr int kSliderLeft = 141, kSliderWidth = 110, kSliderHeight = 16;
constexpr int kLabelLeft = 7;

struct SliderRow {
  Param param;
  int top;
  const wchar_t* caption;
  const wchar_t* hint;
};

// Top to bottom, as the panels show them.
constexpr SliderRow kBassSliders[] = {
    {P::bassinlopass, 6, L"输入低音低通", L"低音频率切断频率"},
    {P::bassinhipass, 26, L"输入低音高通", L"高通滤镜切断频率"},
    {P::bassinres, 46, L"输入滤镜振谐", L"输入反馈的数量(有下潜的效果)"},
    {P::bassagc, 66, L"低音 AGC 处理深度", L"自动增益控制"},
    {P::bass3d, 86, L"低音环绕", L"单声->立体->环绕 "},
    {P::phatt, 106, L"Phatt 效果", L"扭曲 (削波)"},
    {P::basslopass, 126, L"低音低通", L"低通滤镜输出切断频率"},
    {P::basshipass, 146, L"低音高通", L"高通滤镜输出切断频率"},
    {P::bassres, 166, L"输出振谐", L"反馈的数量(有下潜的效果)"},
    {P::basscomp, 186, L"低音压力", L"伴随着很小的扭曲"},
    {P::bassout, 206, L"低音输出", L"低音输出大小"},
};

constexpr SliderRow kMusicSliders[] = {
    {P::hipass, 6, L"输入高通", L"高通滤镜频率"},
    {P::dnl, 26, L"噪音限制器", L"除去一些噪音"},
    {P::agc, 46, L"AGC", L"自动增益控制深度"},
    {P::wide3d, 66, L"环绕 [3D]", L"简易环绕效果"},
    {P::prologic, 86, L"Prologic 环绕", L"另一个著名效果(来自杜比)"},
    {P::treble, 106, L"高频增益", L"高频增益"},
    {P::trange, 126, L"高音范围", L"切断频率(高音增益用于的频率)"},
    {P::reverb, 146, L"房间模拟", L"房间模拟"},
    {P::size, 166, L"房间大小", L"虚拟房间的大小"},
    {P::damp, 186, L"阻尼", L"房间模拟"},
    {P::length, 206, L"房间宽度", L"虚拟房间的宽度"},
    {P::comp, 226, L"压力", L"简易压力增大器(会使声音更有起伏)"},
    {P::speed, 246, L"压力增大器时间", L"压力增大时间(越小起伏越大)"},
    {P::dry, 266, L"输出", L"\"音乐\"通道输出大小"},
    {P::boost, 286, L"[低频+音乐] 放大", L"让声音更高"},
};

TFont StripFont() {
  TFont f;
  f.SetName(L"Tahoma");
  f.SetSize(8);
  f.SetStyle(fsBold);
  f.SetColor(clBlack);
  return f;
}

}  // namespace

TLabel* TForm_s::MakeLabel(TWinControl* parent, int left, int top, const wchar_t* caption, const wchar_t* hint) {
  TLabel* l = parent->Make<TLabel>(caption);
  l->SetBounds(left, top, l->Width(), l->Height());
  l->SetTransparent(true);
  if (hint) l->SetHint(hint);
  return l;
}

void TForm_s::BuildControls() {
  BuildBassPanel();
  BuildMusicPanel();
  BuildSettingsPanel();
  // every slider takes the pictures of the first bass slider
  TBitmap thumb, ruler;
  thumb.LoadFromResourceName(ModuleInstance(), L"BRINDLE_THUMB");
  ruler.LoadFromResourceName(ModuleInstance(), L"BRINDLE_RULER");
  TSlider* first = SliderOf(P::bassagc);
  first->SetImage(0, &thumb);
  first->SetImage(1, &ruler);
  for (const ParamSlider& s : sliders)
    if (s.slider != first) s.slider->SetImage(0, &first->GetImage(0));
  Slider_t->SetImage(0, &first->GetImage(0));
  for (const ParamSlider& s : sliders)
    if (s.slider != first) s.slider->SetImage(1, &first->GetImage(1));
  Slider_t->SetImage(1, &first->GetImage(1));
}

void TForm_s::AddSlider(TPanel* panel, Param p, int top, const wchar_t* caption, const wchar_t* hint,
                        TLabel* strip) {
  ParamSlider s{p};
  s.hintStrip = strip;
  s.slider = panel->Make<TSlider>();
  s.slider->SetMin(0);
  s.slider->SetMax(100);
  s.slider->SetIncrement(1);
  s.slider->SetOptions(soSmooth);
  s.slider->SetNumThumbStates(2);
  s.slider->SetTabStop(false);
  s.slider->SetBounds(kSliderLeft, top, kSliderWidth, p == P::bassagc ? kSliderHeight + 1 : kSliderHeight);
  s.label = MakeLabel(panel, kLabelLeft, top + 1, caption, hint);
  TSlider* slider = s.slider;
  slider->OnMouseMove = [slider, strip](TObject*, TShiftState, int, int) { strip->SetCaption(slider->Hint()); };
  TLabel* label = s.label;
  label->OnMouseMove = [label, strip](TObject*, TShiftState, int, int) { strip->SetCaption(label->Hint()); };
  sliders.push_back(s);
  const size_t at = sliders.size() - 1;
  slider->OnChange = [this, at](TObject*) { SliderChange(sliders[at]); };
}

void TForm_s::SliderChange(const ParamSlider& s) {
  const int32_t pos = s.slider->Position();
  module_.params.SetFromControl(s.param, pos);
  s.slider->SetHint(Widen(window::ValueText(s.param, pos)));
}

void TForm_s::AddCheckBox(TPanel* panel, Param p, int left, int top, const wchar_t* hint, const wchar_t* caption,
                          const wchar_t* labelHint, bool labelToggles) {
  ParamCheckBox c{p};
  c.box = panel->Make<TCheckBox>();
  c.box->SetBounds(left, top, 15, 15);
  c.box->SetHint(hint);
  c.box->SetShowHint(true);
  c.box->SetTabStop(false);
  TCheckBox* box = c.box;
  box->OnClick = [this, box, p](TObject*) { module_.params.SetFromControl(p, box->Checked() ? 1 : 0); };
  c.label = MakeLabel(panel, left + 17, top + 1, caption, labelHint);
  if (labelToggles) c.label->OnClick = [box](TObject*) { box->SetChecked(!box->Checked()); };
  checkBoxes.push_back(c);
}

void TForm_s::BuildBassPanel() {
  Label_hint = Panel_bass->Make<TLabel>();
  for (const SliderRow& r : kBassSliders) AddSlider(Panel_bass, r.param, r.top, r.caption, r.hint, Label_hint);
  AddCheckBox(Panel_bass, P::soft, 96, 104, L"柔和地削波 - 没有扭曲", L"柔和", L"柔和地削波 - 没有扭曲", false);
  for (const ParamCheckBox& c : checkBoxes) {
    TLabel* label = c.label;
    label->OnMouseMove = [this, label](TObject*, TShiftState, int, int) { Label_hint->SetCaption(label->Hint()); };
  }
}

void TForm_s::BuildMusicPanel() {
  Label_hint2 = Panel_music->Make<TLabel>();
  for (const SliderRow& r : kMusicSliders) AddSlider(Panel_music, r.param, r.top, r.caption, r.hint, Label_hint2);
  const size_t firstMusicBox = checkBoxes.size();
  AddCheckBox(Panel_music, P::stereoagc, 72, 46, L"分别在每个声道使用 AGC", L"立体", L"分别在每个声道使用 AGC ",
              true);
  AddCheckBox(Panel_music, P::widefilt, 72, 66, L"它有时很好", L"使用滤镜", L"它有时在低比特率上表现很好", true);
  AddCheckBox(Panel_music, P::loudness, 72, 266, L"简易降噪", L"降噪", L"简易降噪", true);
  for (size_t i = firstMusicBox; i < checkBoxes.size(); ++i) {
    TLabel* label = checkBoxes[i].label;
    label->OnMouseMove = [this, label](TObject*, TShiftState, int, int) { Label_hint2->SetCaption(label->Hint()); };
  }
  for (auto [strip, top] : {std::pair{Label_hint, 226}, std::pair{Label_hint2, 306}}) {
    strip->SetAutoSize(false);
    strip->SetBounds(7, top, 245, 13);
    strip->SetAlignment(taCenter);
    strip->SetFont(StripFont());
    strip->SetColor(kStripColour);
    strip->SetTransparent(false);
    strip->SetHint(L"这里显示的值只是近似值");
    strip->SetCaption(L"");
    TLabel* l = strip;
    l->OnMouseMove = [l](TObject*, TShiftState, int, int) { l->SetCaption(l->Hint()); };
    l->BringToFront();
  }
}

void TForm_s::BuildSettingsPanel() {
  TWinControl* p = Panel_cfg;
  const auto background = [this](TLabel* l) {
    l->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) { Image1MouseDown(x, y); };
    l->OnMouseMove = [this](TObject*, TShiftState, int x, int y) { Image1MouseMove(x, y); };
    l->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { Image1MouseUp(); };
  };
  Label17 = MakeLabel(p, 7, 6, L" 波形刷新帧数:");
  Slider_t = Panel_cfg->Make<TSlider>();
  Slider_t->SetMin(2);
  Slider_t->SetMax(80);
  Slider_t->SetIncrement(1);
  Slider_t->SetOptions(soSmooth);
  Slider_t->SetNumThumbStates(2);
  Slider_t->SetTabStop(false);
  Slider_t->SetBounds(167, 6, 83, kSliderHeight);
  Slider_t->SetHint(L"Drag it!");
  Slider_t->OnChange = [this](TObject*) { Slider_tChange(); };
  Label_osc = MakeLabel(p, 128, 6, L"80 fps");
  Label_osc->SetAutoSize(false);
  Label_osc->SetBounds(128, 6, 33, 13);
  Label_osc->SetAlignment(taRightJustify);
  const wchar_t* delayHint =
      L"Here you can set manually the delay for the visualisation to be syncronised with the music when using non "
      L"standard output plugins";
  Label23 = MakeLabel(p, 7, 26, L"周期:", delayHint);
  Edit1 = Panel_cfg->Make<TEdit>();
  Edit1->SetBounds(38, 25, 35, 19);
  Edit1->SetMaxLength(4);
  Edit1->SetText(L"2000");
  Edit1->SetHint(delayHint);
  Edit1->SetShowHint(true);
  Edit1->OnExit = [this](TObject*) { Edit1Exit(); };
  Label24 = MakeLabel(p, 74, 26, L"ms");
  CheckBox1 = Panel_cfg->Make<TCheckBox>();
  CheckBox1->SetBounds(94, 26, 15, 15);
  CheckBox1->SetHint(L"Detect buffer size from the ini file");
  CheckBox1->SetShowHint(true);
  CheckBox1->SetTabStop(false);
  CheckBox1->OnClick = [this](TObject*) { CheckBox1Click(); };
  Label27 = MakeLabel(p, 110, 26, L"自动", L"Detect buffer size from the ini file");
  Label27->OnClick = [this](TObject*) { CheckBox1->SetChecked(!CheckBox1->Checked()); };
  AddCheckBox(Panel_cfg, P::inverted, 10, 45, L"Useful for quick speaker phase checking", L"反向",
              L"Useful for quick phase checking", true);

  Label_clip = MakeLabel(p, 7, 65, L"削波:  0%", L"Amount of disttorsions; 最好不要超过 1%");
  Label_clip->SetAutoSize(false);
  Label_clip->SetBounds(7, 65, 245, 23);
  Label_clip->SetAlignment(taCenter);
  TFont big = StripFont();
  big.SetSize(14);
  Label_clip->SetFont(big);
  Label_clip->SetColor(kStripColour);
  Label_clip->SetTransparent(false);
  for (TLabel* l : {Label17, Label_osc, Label23, Label24, Label_clip}) background(l);
}

TSlider* TForm_s::SliderOf(Param p) const {
  for (const ParamSlider& s : sliders)
    if (s.param == p) return s.slider;
  return nullptr;
}

TCheckBox* TForm_s::CheckBoxOf(Param p) const {
  for (const ParamCheckBox& c : checkBoxes)
    if (c.param == p) return c.box;
  return nullptr;
}

void TForm_s::ClearHints() {
  Label_hint->SetCaption(L"");
  Label_hint2->SetCaption(L"");
}

void TForm_s::ShowParameters() {
  // a snapshot first: each control's handler stores its value at once
  const auto values = module_.params.Snapshot();
  for (const ParamSlider& s : sliders) s.slider->SetPosition(values[size_t(s.param)]);
  for (const ParamCheckBox& c : checkBoxes) c.box->SetChecked(values[size_t(c.param)] != 0);
}

void TForm_s::ShowSettings() {
  ShowParameters();
  Slider_t->SetPosition(module_.window.timer.load());
  Edit1->SetText(std::to_wstring(module_.window.delay));
  CheckBox1->SetChecked(module_.window.autodetect != 0);
  LoadIconFile();
}

}  // namespace brindle::win32
