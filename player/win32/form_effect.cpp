#include "player/win32/form_effect.h"

#include <windows.h>

#include "player/win32/ansi_text.h"
#include "player/win32/form_main.h"
#include "player/win32/look.h"
#include "tav/engine/own_effects.h"
#include "toolkit/win32/dialogs.h"

namespace tav::player {

namespace {

// Layout of the effects window (client 398 x 283): the page control fills
// the window below a 10-pixel strip; places inside a page are relative to
// the page, inside a group to the group.
namespace layout {
constexpr int kClientWidth = 398, kClientHeight = 283;
constexpr TRect kPages{0, 10, 398, 283};
// Equaliser: 15 sliders side by side, their band captions below them.
constexpr int kEqLeft = 6, kEqTop = 6, kEqPitch = 25, kEqWidth = 25, kEqHeight = 170;
constexpr int kEqCaptionTop = 180;
constexpr TRect kCheckBox2{8, 212, 68, 230};
constexpr TRect kButton5{306, 208, 382, 232};
// Winamp DSP plug-ins.
constexpr TRect kLabel2{8, 6, 0, 0};
constexpr TRect kEdit1{8, 24, 306, 46};
constexpr TRect kButton1{312, 23, 382, 47};
constexpr TRect kListView1{8, 52, 382, 172};
constexpr TRect kLabel1{8, 182, 0, 0};
constexpr TRect kComboBox1{70, 178, 382, 198};
constexpr TRect kCheckBox1{8, 212, 68, 230};
constexpr TRect kButton3{146, 208, 224, 232};
constexpr TRect kButton2{228, 208, 306, 232};
constexpr TRect kButton4{310, 208, 382, 232};
// Other effects: the switch group at the left, tempo and pitch at the right.
constexpr TRect kGroupEffects{8, 4, 120, 166};
constexpr int kSwitchTop = 22, kSwitchPitch = 27, kSwitchBoxLeft = 10, kSwitchLabelLeft = 30;
constexpr TRect kGroupTempo{126, 4, 382, 166};
constexpr TRect kSpeedCaption{10, 22, 0, 0}, kLblSpeed{50, 22, 0, 0}, kButton6{228, 19, 246, 37};
constexpr TRect kSldSpeed{5, 42, 251, 68};
constexpr TRect kPitchCaption{10, 92, 0, 0}, kLblPitch{50, 92, 0, 0}, kButton7{228, 89, 246, 107};
constexpr TRect kSldPitch{5, 112, 251, 138};
constexpr TRect kButton8{8, 176, 128, 202};
// Phaser: a row per slider (caption, slider, value), the switch and reset below.
constexpr int kPhTop = 8, kPhPitch = 31, kPhCaptionLeft = 8, kPhSliderLeft = 44, kPhSliderWidth = 280;
constexpr int kPhSliderHeight = 26, kPhValueLeft = 332;
constexpr TRect kChkPhs{8, 212, 68, 230};
constexpr TRect kBtnRePhs{306, 208, 382, 232};
}  // namespace layout

constexpr const wchar_t* kPageCaptions[kEffectPageCount] = {L"均衡器", L"音效插件", L"其他效果", L"摱佛移相"};
constexpr const wchar_t* kBandCaptions[kEqSliderCount] = {L"40",  L"63",  L"100", L"160",  L"250",
                                                         L"400", L"630", L"1K",  L"1.6K", L"2.5K",
                                                         L"4K",  L"6.3K", L"10K", L"14K", L"16K"};
constexpr const wchar_t* kPhaserCaptions[kPhaserSliderCount] = {L"干声", L"湿声", L"回馈", L"速率", L"范围", L"频率"};
constexpr int kPhaserRanges[kPhaserSliderCount][2] = {{-2000, 2000}, {-2000, 2000}, {-1000, 1000},
                                                      {0, 100},      {0, 100},      {0, 10000}};

// The window's sliders: default pictures, two thumb states, steps of 10,
// focus shown, no ticks, no snapping.
TSlider* MakeSlider(TWinControl* parent, const TRect& r, int min, int max, int value,
                    TSliderOrientation orientation = soHorizontal) {
  auto* s = parent->Make<TSlider>();
  s->SetOrientation(orientation);
  PlaceControl(s, r);
  s->SetNumThumbStates(2);
  s->SetMinValue(min);
  s->SetMaxValue(max);
  s->SetValue(value);
  s->SetIncrement(10);
  s->SetOptions(soShowFocus | soSmooth);
  return s;
}

}  // namespace

TFormEffect::TFormEffect(ISettingsStore* settings, IEffectsLinks& links) : settings_(settings), links_(links) {
  using namespace layout;
  SetCaption(L"效果管理器");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu | biMinimize);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  SetClientSize(kClientWidth, kClientHeight);
  SetBounds(kEffectDesignLeft, kEffectDesignTop, Width(), Height());

  PageControl1 = Placed<TPageControl>(this, kPages);
  for (int i = 0; i < kEffectPageCount; ++i) {
    Pages[size_t(i)] = PageControl1->AddPage(kPageCaptions[i]);
    Pages[size_t(i)]->SetColor(cl3DDkShadow);
  }
  CreateEqualiserPage(Pages[0]);
  CreateDspPage(Pages[1]);
  CreateOtherPage(Pages[2]);
  CreatePhaserPage(Pages[3]);
  PageControl1->SetActivePageIndex(0);

  // The engine's equaliser reads its gains from this window's sliders.
  tav::engine::EqSliderPosition = [this](int band) { return sldEq.at(size_t(band))->Value(); };

  OnCreate = [this](TObject*) { FormCreate(); };
  OnDestroy = [this](TObject*) { FormDestroy(); };
  OnShow = [this](TObject*) { WriteVisible(Visible()); };
  OnClose = [this](TObject*, TCloseAction&) { WriteVisible(false); };
  SetMessageHandler(WM_USER, [this](TMessage& m) { return DWindProc(m); });
}

TFormEffect::~TFormEffect() { tav::engine::EqSliderPosition = nullptr; }

void TFormEffect::CreateEqualiserPage(TTabSheet* page) {
  using namespace layout;
  for (int b = 0; b < kEqSliderCount; ++b) {
    const int left = kEqLeft + b * kEqPitch;
    sldEq[size_t(b)] =
        MakeSlider(page, {left, kEqTop, left + kEqWidth, kEqTop + kEqHeight}, 0, 30, kEqFlat, soVertical);
    sldEq[size_t(b)]->OnChange = [this](TObject* s) { sldEq0Change(s); };
    auto* caption = Placed<TLabel>(page, TRect{left - 2, kEqCaptionTop, 0, 0}, kBandCaptions[b]);
    caption->SetAutoSize(false);
    caption->SetAlignment(taCenter);
    caption->SetBounds(left - 2, kEqCaptionTop, kEqWidth + 4, 14);
    lblEq[size_t(b)] = caption;
  }
  CheckBox2 = Placed<TCheckBox>(page, kCheckBox2, L"启用");
  CheckBox2->OnClick = [this](TObject* s) { CheckBox2Click(s); };
  Button5 = Placed<TButton>(page, kButton5, L"重置");
  Button5->OnClick = [this](TObject* s) { Button5Click(s); };
}

void TFormEffect::CreateDspPage(TTabSheet* page) {
  using namespace layout;
  Label2 = Placed<TLabel>(page, kLabel2, L"winamp2 DSP音效插件");
  Edit1 = Placed<TEdit>(page, kEdit1);
  Edit1->SetEnabled(false);
  Edit1->SetColor(clBtnFace);
  Button1 = Placed<TButton>(page, kButton1, L"目录");
  Button1->OnClick = [this](TObject* s) { Button1Click(s); };
  ListView1 = Placed<TListView>(page, kListView1);
  ListView1->AddColumn(L"插件描述", 220);
  ListView1->AddColumn(L"文件名", 140);
  ListView1->PopupMenu = &PopupMenu1;
  ListView1->OnSelectItem = [this](TObject* s, int, bool) { ListView1Change(s); };
  ListBox1 = page->Make<TListBox>();
  ListBox1->SetVisible(false);
  Label1 = Placed<TLabel>(page, kLabel1, L"插件模块:");
  ComboBox1 = Placed<TComboBox>(page, kComboBox1, csDropDownList);
  ComboBox1->SetFont(MakeFont(L"Tahoma", 8, clWindowText));  // dark on the box's white
  CheckBox1 = Placed<TCheckBox>(page, kCheckBox1, L"开关");
  CheckBox1->OnClick = [this](TObject* s) { CheckBox1Click(s); };
  Button3 = Placed<TButton>(page, kButton3, L"启动插件");
  Button3->OnClick = [this](TObject* s) { Button3Click(s); };
  Button2 = Placed<TButton>(page, kButton2, L"配置插件");
  Button2->OnClick = [this](TObject* s) { Button2Click(s); };
  Button4 = Placed<TButton>(page, kButton4, L"关闭插件");
  Button4->OnClick = [this](TObject* s) { Button4Click(s); };
  clr = PopupMenu1.Items.Add(L"清空插件列表", [this](TObject* s) { clrClick(s); });
}

void TFormEffect::CreateOtherPage(TTabSheet* page) {
  using namespace layout;
  GroupEffects = Placed<TGroupBox>(page, kGroupEffects, L"效果");
  GroupEffects->SetColor(cl3DDkShadow);
  struct Row {
    TCheckBox** box;
    TLabel** label;
    const wchar_t* caption;
    void (TFormEffect::*click)(TObject*);
  };
  const Row rows[] = {{&chHx, &lblHx, L"混响", &TFormEffect::chHxClick},
                      {&ckhy, &lblhy, L"回音", &TFormEffect::ckhyClick},
                      {&ckGjHy, &lblGjHy, L"高级回音", &TFormEffect::ckGjHyClick},
                      {&ckFlanges, &lblFlanges, L"镶边", &TFormEffect::ckFlangesClick},
                      {&ckrotate, &lblrotate, L"左右旋转", &TFormEffect::ckrotateClick}};
  int top = kSwitchTop;
  for (const Row& r : rows) {
    *r.box = Placed<TCheckBox>(GroupEffects, TRect{kSwitchBoxLeft, top, kSwitchBoxLeft + 16, top + 16});
    (*r.box)->OnClick = [this, click = r.click](TObject* s) { (this->*click)(s); };
    *r.label = Placed<TLabel>(GroupEffects, TRect{kSwitchLabelLeft, top + 2, 0, 0}, r.caption);
    top += kSwitchPitch;
  }

  GroupTempo = Placed<TGroupBox>(page, kGroupTempo, L"变速/变调");
  GroupTempo->SetColor(cl3DDkShadow);
  lblSpeedCaption = Placed<TLabel>(GroupTempo, kSpeedCaption, L"变速");
  lblspeed = Placed<TLabel>(GroupTempo, kLblSpeed, L"+0%");
  Button6 = Placed<TButton>(GroupTempo, kButton6);
  Button6->OnClick = [this](TObject* s) { Button6Click(s); };
  sldspeed = MakeSlider(GroupTempo, kSldSpeed, 0, 90, kSpeedCentre);
  sldspeed->OnChange = [this](TObject* s) { sldspeedChange(s); };
  lblPitchCaption = Placed<TLabel>(GroupTempo, kPitchCaption, L"变调");
  lblpitch = Placed<TLabel>(GroupTempo, kLblPitch, L"+0%");
  Button7 = Placed<TButton>(GroupTempo, kButton7);
  Button7->OnClick = [this](TObject* s) { Button7Click(s); };
  sldPitch = MakeSlider(GroupTempo, kSldPitch, 0, 60, kPitchCentre);
  sldPitch->OnChange = [this](TObject* s) { sldPitchChange(s); };

  Button8 = Placed<TButton>(page, kButton8, L"VST插件效果器");
  Button8->OnClick = [this](TObject* s) { Button8Click(s); };
}

void TFormEffect::CreatePhaserPage(TTabSheet* page) {
  using namespace layout;
  for (int p = 0; p < kPhaserSliderCount; ++p) {
    const int top = kPhTop + p * kPhPitch;
    lblPhCaption[size_t(p)] = Placed<TLabel>(page, TRect{kPhCaptionLeft, top + 6, 0, 0}, kPhaserCaptions[p]);
    slPh[size_t(p)] = MakeSlider(page, {kPhSliderLeft, top, kPhSliderLeft + kPhSliderWidth, top + kPhSliderHeight},
                                 kPhaserRanges[p][0], kPhaserRanges[p][1], kPhaserDefaults[size_t(p)]);
    slPh[size_t(p)]->OnChange = [this](TObject* s) { slPh1Change(s); };
    lblPh[size_t(p)] =
        Placed<TLabel>(page, TRect{kPhValueLeft, top + 6, 0, 0}, std::to_wstring(kPhaserDefaults[size_t(p)]));
  }
  chkPhs = Placed<TCheckBox>(page, kChkPhs, L"启用");
  chkPhs->OnClick = [this](TObject* s) { chkPhsClick(s); };
  btnRePhs = Placed<TButton>(page, kBtnRePhs, L"重置");
  btnRePhs->OnClick = [this](TObject* s) { btnRePhsClick(s); };
}

// --- creation, settings and closing --------------------------------------------

void TFormEffect::FormCreate() {
  // At start-up there is no stream: switches that come on here only change
  // labels; the library refuses their calls.
  TEffectSettings s;
  try {
    if (settings_) s = ReadEffectSettings(*settings_);
  } catch (...) {
  }
  SetBounds(s.Left, s.Top, Width(), Height());
  if (s.Visable) Show();
  PageControl1->SetActivePageIndex(s.ActPage);
  for (int b = 0; b < kEqSliderCount; ++b) sldEq[size_t(b)]->SetValue(s.Eq[size_t(b)]);
  CheckBox2->SetChecked(s.ChkEq);
  ckrotate->SetChecked(s.Rotate);
  ckhy->SetChecked(s.Ckhy);
  ckFlanges->SetChecked(s.CkFlanges);
  chHx->SetChecked(s.ChHx);
  ckGjHy->SetChecked(s.CkGjHy);
  for (int p = 0; p < kPhaserSliderCount; ++p) slPh[size_t(p)]->SetValue(s.Phaser[size_t(p)]);
  chkPhs->SetChecked(s.ChkPhs);
  sldspeed->SetValue(s.Speed);
  sldPitch->SetValue(s.Pitch);
  ScanDspFolder(ProgramFolder() + L"Plugins\\");
}

TEffectSettings TFormEffect::CurrentSettings() const {
  TEffectSettings s;
  s.Left = Left();
  s.Top = Top();
  s.Visable = Visible();
  s.ActPage = PageControl1->ActivePageIndex();
  for (int b = 0; b < kEqSliderCount; ++b) s.Eq[size_t(b)] = sldEq[size_t(b)]->Value();
  s.ChkEq = CheckBox2->Checked();
  s.Rotate = ckrotate->Checked();
  s.Ckhy = ckhy->Checked();
  s.CkFlanges = ckFlanges->Checked();
  s.ChHx = chHx->Checked();
  s.CkGjHy = ckGjHy->Checked();
  for (int p = 0; p < kPhaserSliderCount; ++p) s.Phaser[size_t(p)] = slPh[size_t(p)]->Value();
  s.ChkPhs = chkPhs->Checked();
  s.Speed = sldspeed->Value();
  s.Pitch = sldPitch->Value();
  return s;
}

void TFormEffect::FormDestroy() {
  // A running module is stopped while its parent window exists and before
  // the main window frees the streams, so its Quit can save its settings.
  try {
    Button4Click(nullptr);
  } catch (...) {
  }
  try {
    if (settings_) WriteEffectSettings(*settings_, CurrentSettings());
  } catch (...) {
  }
}

void TFormEffect::WriteVisible(bool visible) {
  try {
    if (settings_) WriteEffectVisible(*settings_, visible);
  } catch (...) {
  }
}

// --- equaliser -------------------------------------------------------------------

void TFormEffect::CheckBox2Click(TObject*) { controller_.EqualiserClick(); }
void TFormEffect::sldEq0Change(TObject*) { controller_.EqBandChanged(); }

void TFormEffect::Button5Click(TObject*) {
  for (TSlider* s : sldEq) s->SetValue(kEqFlat);
}

// --- own effects, DirectX 8 effects, tempo and pitch --------------------------

void TFormEffect::ckrotateClick(TObject*) { controller_.OwnEffectClick(OwnEffect::Rotate); }
void TFormEffect::ckhyClick(TObject*) { controller_.OwnEffectClick(OwnEffect::Echo); }
void TFormEffect::ckFlangesClick(TObject*) { controller_.OwnEffectClick(OwnEffect::Flanger); }
void TFormEffect::chHxClick(TObject*) { controller_.ReverbClick(); }
void TFormEffect::ckGjHyClick(TObject*) { controller_.Dx8EchoClick(); }
void TFormEffect::sldspeedChange(TObject*) { controller_.TempoChanged(); }
void TFormEffect::sldPitchChange(TObject*) { controller_.PitchChanged(); }
void TFormEffect::Button6Click(TObject*) { sldspeed->SetValue(kSpeedCentre); }
void TFormEffect::Button7Click(TObject*) { sldPitch->SetValue(kPitchCentre); }
void TFormEffect::Button8Click(TObject*) { links_.ToggleVstWindow(); }

// --- phaser ------------------------------------------------------------------------

void TFormEffect::chkPhsClick(TObject*) { controller_.PhaserClick(); }
void TFormEffect::slPh1Change(TObject*) { controller_.PhaserChanged(); }

void TFormEffect::btnRePhsClick(TObject*) {
  for (int p = 0; p < kPhaserSliderCount; ++p) slPh[size_t(p)]->SetValue(kPhaserDefaults[size_t(p)]);
}

void TFormEffect::ReapplyEffects() { controller_.ReapplyEffects(); }

// --- Winamp DSP plug-ins ------------------------------------------------------------

void TFormEffect::ScanDspFolder(const std::wstring& folder) {
  Edit1->SetText(folder);
  // The folder is used as it is: one that already ends in a backslash gives
  // doubled separators, which the file system accepts.
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\dsp_*.dll").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::wstring path = folder + L"\\" + found.cFileName;
    const std::optional<std::string> description = controller_.DescribeLibrary(WideToAnsi(path));
    if (!description) continue;  // a broken library is left out
    ListBox1->Add(path);
    ListView1->AddItem(AnsiToWide(*description), {found.cFileName});
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

std::wstring TFormEffect::BrowseForFolder(const std::wstring& title) {
  std::wstring folder;
  if (!SelectDirectory(title, folder, Handle())) return {};
  return folder;
}

void TFormEffect::Button1Click(TObject*) {
  const std::wstring folder = BrowseForFolder(L"请选择有Dsp*.dll的目录");
  if (folder.empty()) return;
  ScanDspFolder(folder);  // shows the folder in the edit too
}

void TFormEffect::ListView1Change(TObject*) { controller_.LibrarySelected(); }
void TFormEffect::Button3Click(TObject*) { controller_.StartClick(); }
void TFormEffect::Button2Click(TObject*) { controller_.ConfigureClick(); }
void TFormEffect::CheckBox1Click(TObject*) { controller_.DspOnClick(); }
void TFormEffect::Button4Click(TObject*) { controller_.StopClick(); }

void TFormEffect::clrClick(TObject*) {
  ListView1->Clear();
  ListBox1->Clear();
  ComboBox1->Clear();
}

bool TFormEffect::DWindProc(TMessage& message) {
  message.Result = LRESULT(controller_.QueryAnswer(intptr_t(message.LParam), uintptr_t(message.WParam)));
  return true;
}

// --- what the controller shows --------------------------------------------------

bool TFormEffect::Checked(EffectSwitch which) {
  switch (which) {
    case EffectSwitch::Equaliser:
      return CheckBox2->Checked();
    case EffectSwitch::Rotate:
      return ckrotate->Checked();
    case EffectSwitch::Echo:
      return ckhy->Checked();
    case EffectSwitch::Flanger:
      return ckFlanges->Checked();
    case EffectSwitch::Reverb:
      return chHx->Checked();
    case EffectSwitch::Dx8Echo:
      return ckGjHy->Checked();
    case EffectSwitch::Phaser:
      return chkPhs->Checked();
    case EffectSwitch::DspOn:
      return CheckBox1->Checked();
  }
  return false;
}

int TFormEffect::SliderValue(EffectSlider which) {
  return which == EffectSlider::Tempo ? sldspeed->Value() : sldPitch->Value();
}

void TFormEffect::SetText(EffectText which, const std::string& utf8) {
  (which == EffectText::Tempo ? lblspeed : lblpitch)->SetCaption(Widen(utf8));
}

std::array<int, kPhaserSliderCount> TFormEffect::PhaserValues() {
  std::array<int, kPhaserSliderCount> values{};
  for (int p = 0; p < kPhaserSliderCount; ++p) values[size_t(p)] = slPh[size_t(p)]->Value();
  return values;
}

void TFormEffect::SetPhaserTexts(const std::array<int, kPhaserSliderCount>& values) {
  for (int p = 0; p < kPhaserSliderCount; ++p) lblPh[size_t(p)]->SetCaption(std::to_wstring(values[size_t(p)]));
}

int TFormEffect::SelectedLibrary() { return ListView1->ItemIndex(); }

std::string TFormEffect::LibraryPath(int row) {
  return row >= 0 && row < ListBox1->Count() ? WideToAnsi(ListBox1->Item(row)) : std::string();
}

void TFormEffect::SetModules(const std::vector<std::string>& descriptions) {
  ComboBox1->Clear();
  for (const auto& d : descriptions) ComboBox1->Add(AnsiToWide(d));
  if (!descriptions.empty()) ComboBox1->SetItemIndex(0);
}

int TFormEffect::ModuleCount() { return ComboBox1->Count(); }

int TFormEffect::SelectedModule() {
  const int i = ComboBox1->ItemIndex();
  return i >= 0 && i < ComboBox1->Count() ? i : -1;
}

void TFormEffect::SetDspPageIdle(bool idle) {
  ComboBox1->SetEnabled(idle);
  ListView1->SetEnabled(idle);
  Button1->SetEnabled(idle);
}

void TFormEffect::Warn(const std::string& text) {
  MessageBoxW(Handle(), Widen(text).c_str(), L"出错啦!", MB_OK | MB_ICONWARNING);
}

}  // namespace tav::player
