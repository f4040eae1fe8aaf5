#include "player/win32/form_main.h"

#include <shellapi.h>

#include "player/core/display_texts.h"
#include "player/win32/ansi_text.h"
#include "player/win32/drop_files.h"
#include "player/win32/ini_settings.h"
#include "player/win32/look.h"
#include "tav/engine/addons.h"
#include "tav/engine/globals.h"
#include "tav/vst/vst_host.h"

namespace tav::player {

namespace {

// Layout of the main window (client 560 x 162). Left column: title, large
// time, texts of the stream; middle: transport buttons, the speed slider with
// its restore button and its percentage below it, then the volume slider;
// right: the two meters with their dB texts; along the bottom the position
// slider with its time scale.
constexpr int kClientWidth = 560, kClientHeight = 162;
constexpr Place kTitFrame{4, 4, 168, 19};
constexpr Place kPaTime{4, 27, 126, 36};
constexpr Place kLblSeconds{4, 68, 0, 0};
constexpr Place kLblMaxTime{4, 84, 0, 0};
constexpr Place kLblFreq{4, 100, 0, 0};
constexpr Place kLblChans{100, 100, 0, 0};
constexpr Place kBtnPlay{178, 4, 48, 22};
constexpr Place kBtnStop{230, 4, 48, 22};
constexpr Place kBtnEx{282, 4, 48, 22};
constexpr Place kBtnNext{334, 4, 48, 22};
constexpr Place kBtnFrmEq{390, 4, 22, 22};
constexpr Place kBtnMenu{414, 4, 22, 22};
constexpr Place kBtnList{438, 4, 22, 22};
constexpr Place kSldSpeed{178, 32, 254, 20};
constexpr Place kBtnReSpeed{438, 32, 22, 20};
constexpr Place kLblSpeed{178, 55, 0, 0};
constexpr Place kSldVolume{178, 74, 282, 20};
constexpr Place kPavul{480, 4, 20, 114};
constexpr Place kPavur{506, 4, 20, 114};
constexpr Place kLblVul{428, 124, 0, 0};
constexpr Place kLblVur{494, 124, 0, 0};
constexpr Place kSldPos{4, 120, 412, 20};
constexpr int kTimeScaleTop = 144;
constexpr int kTimeScaleLabelWidth = 40;

constexpr int kDesignLeft = 196, kDesignTop = 114;
const wchar_t kWarnCaption[] = L"出错啦!";

TButton* MakeButton(TWinControl* parent, const wchar_t* caption, const Place& p, const wchar_t* hint = nullptr) {
  auto* b = Placed<TButton>(parent, p, caption);
  if (hint) {
    b->SetHint(hint);
    b->SetShowHint(true);
  }
  return b;
}

TLabel* MakeLabel(TWinControl* parent, const wchar_t* caption, const Place& p) {
  return Placed<TLabel>(parent, p, caption);
}

TSlider* MakeSlider(TWinControl* parent, const Place& p, int min, int max, int value) {
  auto* s = Placed<TSlider>(parent, p);
  s->SetMinValue(min);
  s->SetMaxValue(max);
  s->SetValue(value);
  s->SetIncrement(10);
  s->SetOptions(s->Options() | soSmooth);
  return s;
}

}  // namespace

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
  std::wstring p(path, n);
  const auto cut = p.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : p.substr(0, cut + 1);
}

TFormMain::TFormMain(TPlayListModel& list, IMainLinks& links, int32_t& playIndex)
    : links_(links), controller_(audio_, *this, list, playIndex) {
  SetCaption(L"Tavolen V1.5");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu | biMinimize);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  KeyPreview = true;
  SetClientSize(kClientWidth, kClientHeight);
  SetBounds(kDesignLeft, kDesignTop, Width(), Height());
  CreateControls();
  CreateMenu();
  PopupMenu = &PopupMenu1;

  OnCreate = [this](TObject*) { FormCreate(); };
  OnClose = [this](TObject*, TCloseAction&) { FormClose(); };
  OnDestroy = [this](TObject*) { FormDestroy(); };
  OnKeyDown = [this](TObject*, WORD& key, TShiftState) { FormKeyDown(key); };
  SetMessageHandler(WM_DROPFILES, [this](TMessage& m) { return MyDrags(m); });
}

TFormMain::~TFormMain() = default;

void TFormMain::CreateControls() {
  TitFrame = Placed<TPanel>(this, kTitFrame);
  TitFrame->BevelOuter = bvLowered;
  lblTitle = TitFrame->Make<TLabel>(Widen(kIdleTitle));
  lblTitle->SetBounds(2, 2, lblTitle->Width(), lblTitle->Height());
  TitFrame->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { lblTitle->SetLeft(1); };
  lblTitle->OnMouseDown = TitFrame->OnMouseDown;

  btnPlay = MakeButton(this, L"播放", kBtnPlay);
  btnStopPlay = MakeButton(this, L"停止", kBtnStop);
  btnEx = MakeButton(this, L"上一曲", kBtnEx);
  btnNext = MakeButton(this, L"下一曲", kBtnNext);
  btnFrmEq = MakeButton(this, L"E", kBtnFrmEq, L"效果管理器");
  BtnMenu = MakeButton(this, L"M", kBtnMenu, L"显示菜单");
  btnList = MakeButton(this, L"L", kBtnList, L"显示播放列表");
  btnReSpeed = MakeButton(this, L"R", kBtnReSpeed, L"恢复为默认的播放速度");
  btnPlay->OnClick = [this](TObject*) { controller_.PlayButtonClick(); };
  btnStopPlay->OnClick = [this](TObject*) { controller_.StopClick(); };
  btnEx->OnClick = [this](TObject*) { controller_.PreviousClick(); };
  btnNext->OnClick = [this](TObject*) { controller_.NextClick(); };
  btnFrmEq->OnClick = [this](TObject*) { links_.ToggleEffectsWindow(); };
  BtnMenu->OnClick = [this](TObject*) {
    POINT p;
    GetCursorPos(&p);
    PopupMenu1.Popup(p.x, p.y);
  };
  btnList->OnClick = [this](TObject*) { links_.TogglePlayList(); };
  btnReSpeed->OnClick = [this](TObject*) { controller_.RestoreSpeed(); };

  sldSetSpeed = MakeSlider(this, kSldSpeed, 10, 10000, 4410);
  sldSetVolume = MakeSlider(this, kSldVolume, 0, 100, 100);
  SldPos = MakeSlider(this, kSldPos, 0, 100, 0);
  sldSetSpeed->OnChange = [this](TObject*) { controller_.SpeedChanged(sldSetSpeed->Value()); };
  sldSetVolume->OnChange = [this](TObject*) { controller_.VolumeChanged(sldSetVolume->Value()); };
  SldPos->OnStartTracking = [this](TObject*) { controller_.StartTracking(); };
  SldPos->OnStopTracking = [this](TObject*) { controller_.StopTracking(); };

  lblfreq = MakeLabel(this, L"采样率: Hz", kLblFreq);
  lblchans = MakeLabel(this, L"声道:", kLblChans);
  lblspeed = MakeLabel(this, L"Speed:", kLblSpeed);
  lblMaxTime = MakeLabel(this, L"MaxTime", kLblMaxTime);
  lblSeconds = MakeLabel(this, L"Seconds:", kLblSeconds);
  lblvul = MakeLabel(this, L"左:-00dB", kLblVul);
  lblvur = MakeLabel(this, L"右:-00dB", kLblVur);
  for (int k = 1; k <= 7; ++k) {
    // label k stands under k x 85 % / 7 of the slider's length
    const int centre = kSldPos.Left + kSldPos.Width * 85 * k / 700;
    const int left = std::min(centre - kTimeScaleLabelWidth / 2, kSldPos.Left + kSldPos.Width - kTimeScaleLabelWidth);
    Tm[size_t(k - 1)] = MakeLabel(this, L"0:00:00", {left, kTimeScaleTop, 0, 0});
    Tm[size_t(k - 1)]->SetAutoSize(false);
    Tm[size_t(k - 1)]->SetBounds(left, kTimeScaleTop, kTimeScaleLabelWidth + 4, 13);
  }

  PaTime = Placed<TPaintBox>(this, kPaTime);
  PaTime->OnPaint = [this](TObject*) {
    if (timeDisplay_) timeDisplay_->DrawTo(PaTime->Canvas(), 0, 0, timeText_);
  };
  Pavul = Placed<TPaintBox>(this, kPavul);
  pavur = Placed<TPaintBox>(this, kPavur);
  Pavul->OnPaint = [this](TObject*) {
    if (vuLeft_) Pavul->Canvas().Draw(0, 0, vuLeft_->BackBuffer());
  };
  pavur->OnPaint = [this](TObject*) {
    if (vuRight_) pavur->Canvas().Draw(0, 0, vuRight_->BackBuffer());
  };

  tmrPos.SetInterval(18);
  tmrtitle.SetInterval(200);
  tmrdB.SetInterval(100);
  tmrPos.OnTimer = [this](TObject*) { controller_.PositionTick(); };
  tmrtitle.OnTimer = [this](TObject*) { tmrtitleTimer(); };
  tmrdB.OnTimer = [this](TObject*) { controller_.LevelTextTick(); };
}

void TFormMain::CreateMenu() {
  auto& root = PopupMenu1.Items;
  auto& c = controller_;
  muopens = root.Add(L"快速打开音频文件...", [this](TObject*) { muopensClick(); });
  mushurl = root.Add(L"打开网络文件", [this](TObject*) { links_.ShowUrlWindow(); });
  TMenuItem* m0 = root.Add(L"播放控制");
  muPLay = m0->Add(L"播放", [&c](TObject*) { c.PlayMenuClick(); });
  muPause = m0->Add(L"暂停", [&c](TObject*) { c.PauseMenuClick(); });
  muStop = m0->Add(L"停止", [&c](TObject*) { c.StopClick(); });
  m0->Add(L"-");
  MuFR = m0->Add(L"正/反播放进程", [&c](TObject*) { c.ReverseClick(); });
  TMenuItem* m1 = root.Add(L"音量控制");
  muCVol = m1->Add(L"增加", [&c](TObject*) { c.VolumeUp(); });
  Muxvol = m1->Add(L"减小", [&c](TObject*) { c.VolumeDown(); });
  m1->Add(L"-");
  muclVol = m1->Add(L"静音", [&c](TObject*) { c.Mute(); });
  TMenuItem* m2 = root.Add(L"播放模式");
  muloopplay = m2->Add(L"单曲循环播放", [&c](TObject*) { c.SingleLoopClick(); });
  muListLoop = m2->Add(L"播放列表循环播放", [&c](TObject*) { c.ListLoopClick(); });
  murespeed = root.Add(L"恢复正常的播放速度", [&c](TObject*) { c.RestoreSpeed(); });
  // The same as "L": a list hidden here is closed too, so it stays hidden at
  // the next start.
  mushPlist = root.Add(L"播放列表", [this](TObject*) { links_.TogglePlayList(); });
  TMenuItem* m3 = root.Add(L"效果");
  musheffect = m3->Add(L"效果管理器", [this](TObject*) { links_.ToggleEffectsWindow(); });
  mushfrmvst = m3->Add(L"VST音效插件宿主", [this](TObject*) { links_.ToggleVstWindow(); });
  mushmisc = root.Add(L"配置选项...", [this](TObject*) { links_.ShowConfigWindowModal(); });
  musettop = root.Add(L"总在最前面", [this](TObject*) { musettopClick(); });
  muAbout = root.Add(L"关于...", [this](TObject*) { links_.ShowAboutWindowModal(); });
  muClosem = root.Add(L"关闭媒体", [&c](TObject*) { c.CloseMedia(); });
  muSavew = root.Add(L"另存为WAVE文件...", [this](TObject*) { muSavewClick(); });
  muexits = root.Add(L"退出", [this](TObject*) { Close(); });
}

void TFormMain::FormCreate() {
  vuLeft_ = std::make_unique<TGetVuParam>(19, 114, 18, 556, 768);
  vuRight_ = std::make_unique<TGetVuParam>(19, 114, 18, 556, 768);
  timeDisplay_ = std::make_unique<TBufferText>(PaTime->Width(), PaTime->Height());
  timeDisplay_->BackColor = Color();
  timeDisplay_->FontColor = 0xC0C0C0;
  timeDisplay_->FontName = L"Microsoft Sans Serif";
  timeDisplay_->FontSize = 21;

  iniFile_ = std::make_unique<TIniFile>(ProgramFolder() + L"Tavolen.ini");
  settings_ = std::make_unique<TIniSettings>(*iniFile_);
  const WindowPlace place = controller_.ReadSettings(*settings_, {kDesignLeft, kDesignTop});
  SetBounds(place.Left, place.Top, Width(), Height());

  DragAcceptFiles(Handle(), TRUE);
  // The player's one VST host: the engine's global, owned by this window.
  vstHost_ = std::make_unique<tav::vst::TVstHost>();
  tav::engine::PassState.VstHost = vstHost_.get();
  tav::engine::LoadBassPlugins(WideToAnsi(ProgramFolder() + L"AddIns\\"));
  BASS_SetConfig(BASS_CONFIG_UPDATEPERIOD, 24);
  BASS_SetConfig(BASS_CONFIG_FLOATDSP, TRUE);
  tav::engine::StreamState.RenderStart = 0;
  tav::engine::StreamState.RenderEnd = 0;
  // The configuration window gives the seek keys; until it has, the defaults.
  using namespace tav::engine;
  if (!PlayerSettings.SeekKeyRight50 && !PlayerSettings.SeekKeyLeft50 && !PlayerSettings.SeekKeyRight5 && !PlayerSettings.SeekKeyLeft5) {
    PlayerSettings.SeekKeyRight50 = VK_F8;
    PlayerSettings.SeekKeyLeft50 = VK_F7;
    PlayerSettings.SeekKeyRight5 = VK_F6;
    PlayerSettings.SeekKeyLeft5 = VK_F5;
  }
}

void TFormMain::FormClose() {
  // Closing the main window ends the program: the sound stops and this
  // window leaves the screen first; the windows are freed afterwards, each
  // writing its settings.
  controller_.EndSound();
  Hide();
}

void TFormMain::FormDestroy() {
  tmrPos.SetEnabled(false);
  tmrtitle.SetEnabled(false);
  tmrdB.SetEnabled(false);
  controller_.Shutdown();
  tav::engine::PassState.VstHost = nullptr;
  vstHost_.reset();
  vuLeft_.reset();
  vuRight_.reset();
  try {
    if (settings_) controller_.WriteSettings(*settings_, {Left(), Top()});
    settings_.reset();
    iniFile_.reset();
  } catch (...) {
  }
  timeDisplay_.reset();
}

void TFormMain::FormKeyDown(WORD& key) {
  using namespace tav::engine;
  if (key == PlayerSettings.SeekKeyRight50) controller_.SeekStep(0);
  if (key == PlayerSettings.SeekKeyLeft50) controller_.SeekStep(1);
  if (key == PlayerSettings.SeekKeyRight5) controller_.SeekStep(2);
  if (key == PlayerSettings.SeekKeyLeft5) controller_.SeekStep(3);
}

bool TFormMain::MyDrags(TMessage& message) {
  const auto drop = reinterpret_cast<HDROP>(message.WParam);
  // Only the first file of a drop plays.
  const std::string file = GetDropFileName(drop, 1);
  if (!file.empty()) {
    try {
      controller_.OpenDropped(file);
    } catch (...) {
      DragFinish(drop);
      throw;
    }
  }
  DragFinish(drop);
  message.Result = 0;
  return true;
}

void TFormMain::tmrtitleTimer() {
  const TitleScroll next = NextTitleScroll(titleScrolling_, lblTitle->Left(), lblTitle->Width(), TitFrame->Width());
  titleScrolling_ = next.Scrolling;
  lblTitle->SetLeft(next.Left);
  controller_.TitleTick();
}

void TFormMain::muopensClick() {
  OpenDialog1.Title = L"打开音频文件";
  OpenDialog1.Filter = Widen(tav::engine::PlayerSettings.OpenFilter);
  OpenDialog1.FileName.clear();
  OpenDialog1.Owner = Handle();
  if (!OpenDialog1.Execute()) return;
  controller_.OpenFromDialog(AnsiFileName(OpenDialog1.FileName));
}

void TFormMain::muSavewClick() {
  // One render at a time: while one runs the command shows it.
  if (links_.BringRenderForward()) return;
  if (!controller_.MayRenderWave()) return;
  dgSaveWave.Title = L"另存为Wave文件";
  dgSaveWave.Filter = L"Wave音频文件(*.wav)|*.wav";
  // A name typed without an extension gets ".wav" from the dialog, so its
  // question before replacing a file is about the file that will be written.
  dgSaveWave.DefaultExt = L"wav";
  dgSaveWave.Owner = Handle();
  if (!dgSaveWave.Execute()) return;
  // The target is written through its wide name (UTF-8 on the way there):
  // any name the dialog gives is kept whole.
  const std::string chosen = Narrow(dgSaveWave.FileName);
  const std::string target = WaveTargetName(chosen);
  // ".wav" appended after the dialog: the dialog did not ask about that name.
  if (target != chosen && GetFileAttributesW(Widen(target).c_str()) != INVALID_FILE_ATTRIBUTES &&
      MessageBoxW(Handle(), (Widen(target) + L" 已存在。\n要替换它吗?").c_str(), L"另存为Wave文件",
                  MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
    return;
  links_.StartWaveRender(audio_.CurrentFile(), target);
}

void TFormMain::musettopClick() {
  musettop->SetChecked(!musettop->Checked());
  SetFormStyle(musettop->Checked() ? fsStayOnTop : fsNormal);
}

// --- what the controller shows -----------------------------------------------

void TFormMain::SetText(MainText which, const std::string& utf8) {
  const std::wstring text = Widen(utf8);
  switch (which) {
    case MainText::Title:
      lblTitle->SetCaption(text);
      break;
    case MainText::PlayButton:
      btnPlay->SetCaption(text);
      break;
    case MainText::MaxTime:
      lblMaxTime->SetCaption(text);
      break;
    case MainText::Rate:
      lblfreq->SetCaption(text);
      break;
    case MainText::Channels:
      lblchans->SetCaption(text);
      break;
    case MainText::Speed:
      lblspeed->SetCaption(text);
      break;
    case MainText::Seconds:
      lblSeconds->SetCaption(text);
      break;
    case MainText::LevelLeft:
      lblvul->SetCaption(text);
      break;
    case MainText::LevelRight:
      lblvur->SetCaption(text);
      break;
  }
}

void TFormMain::SetTitleFromPath(const std::string& path) { lblTitle->SetCaption(ShownFileName(path)); }

TSlider* TFormMain::SliderOf(MainSlider which) {
  switch (which) {
    case MainSlider::Position:
      return SldPos;
    case MainSlider::Speed:
      return sldSetSpeed;
    case MainSlider::Volume:
      return sldSetVolume;
  }
  return SldPos;
}

int TFormMain::SliderValue(MainSlider which) { return SliderOf(which)->Value(); }
int TFormMain::SliderMax(MainSlider which) { return SliderOf(which)->MaxValue(); }
int TFormMain::SliderMin(MainSlider which) { return SliderOf(which)->MinValue(); }
void TFormMain::SetSliderValue(MainSlider which, int value) { SliderOf(which)->SetValue(value); }
void TFormMain::SetPositionMax(int value) { SldPos->SetMaxValue(value); }

bool TFormMain::Checked(MainCheck which) {
  switch (which) {
    case MainCheck::SingleLoop:
      return muloopplay->Checked();
    case MainCheck::ListLoop:
      return muListLoop->Checked();
    case MainCheck::Reverse:
      return MuFR->Checked();
  }
  return false;
}

void TFormMain::SetChecked(MainCheck which, bool on) {
  switch (which) {
    case MainCheck::SingleLoop:
      muloopplay->SetChecked(on);
      break;
    case MainCheck::ListLoop:
      muListLoop->SetChecked(on);
      break;
    case MainCheck::Reverse:
      MuFR->SetChecked(on);
      break;
  }
}

void TFormMain::SetTimeScale(const std::array<std::string, 7>& texts) {
  for (size_t k = 0; k < 7; ++k) Tm[k]->SetCaption(Widen(texts[k]));
}

void TFormMain::DrawTimeDisplay(const std::string& text) {
  timeText_ = Widen(text);
  if (timeDisplay_) timeDisplay_->Show(*PaTime, 0, 0, timeText_);
}

void TFormMain::DrawMeters(int left, int right, bool outputIdle) {
  if (!vuLeft_ || !vuRight_) return;
  vuLeft_->Draw(*Pavul, left, 0, 0, outputIdle);
  vuRight_->Draw(*pavur, right, 1, -1, outputIdle);
}

int TFormMain::MeterTransfers() const {
  return (vuLeft_ ? vuLeft_->Transfers() : 0) + (vuRight_ ? vuRight_->Transfers() : 0);
}
int TFormMain::TimeTransfers() const { return timeDisplay_ ? timeDisplay_->Transfers() : 0; }

void TFormMain::RestartTitle() {
  titleScrolling_ = true;
  lblTitle->SetLeft(1);
}

void TFormMain::Warn(const std::string& text) {
  MessageBoxW(Handle(), Widen(text).c_str(), kWarnCaption, MB_OK | MB_ICONWARNING);
}

void TFormMain::WarnNaming(const std::string& text, const std::string& name) {
  MessageBoxW(Handle(), (Widen(text) + L"\n" + AnsiToWide(name)).c_str(), kWarnCaption, MB_OK | MB_ICONWARNING);
}

void TFormMain::ReapplyEffects() { links_.ReapplyEffects(); }

}  // namespace tav::player
