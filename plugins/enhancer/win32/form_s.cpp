#include "win32/form_s.h"

#include <algorithm>
#include <cstring>

#include "presets.h"
#include "settings.h"
#include "toolkit/win32/base.h"
#include "win32/form_a.h"
#include "win32_platform.h"

namespace brindle::win32 {
namespace {

using namespace tav;
using window::Panel;
using window::Point;
using window::Rect;

constexpr TColor kScopePanelColour = RGBColor(58, 58, 58);

TForm_s* currentForm = nullptr;

TFont WindowFont() {
  TFont f;
  f.SetName(L"Tahoma");
  f.SetSize(8);
  f.SetColor(clSilver);
  return f;
}

}  // namespace

TForm_s::TForm_s(Module& module)
    : Image2(nullptr), module_(module), disk_(std::make_unique<Win32Disk>()) {
  SetCaption(L"Brindle Enhancer");
  SetBorderStyle(bsNone);
  SetBorderIcons(biSystemMenu);
  // a tool window: no taskbar button, the tray icon is its door
  SetWindowLongW(Handle(), GWL_EXSTYLE, GetWindowLongW(Handle(), GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
  ScreenSnap = true;
  SnapBuffer = 10;
  SetFont(WindowFont());
  SetBounds(0, 0, window::kHeaderWidth, window::kHeaderHeight);
  if (Icon().LoadFromResourceName(ModuleInstance(), L"BRINDLE_ICON", 16)) ownIcon_ = Icon();
  BuildFrame();
  BuildControls();
  OnCreate = [this](TObject*) { FormCreate(); };
  OnShow = [this](TObject*) { FormShow(); };
  OnHide = [this](TObject*) { FormHide(); };
  OnCloseQuery = [this](TObject*, bool& canClose) { FormCloseQuery(canClose); };
  OnClose = [this](TObject*, TCloseAction&) { FormClose(); };
  OnDestroy = [this](TObject*) { FormDestroy(); };
  currentForm = this;
}

TForm_s::~TForm_s() {
  if (currentForm == this) currentForm = nullptr;
}

void TForm_s::BuildFrame() {
  Image2 = Make<TImage>();
  Image2->SetBounds(0, 0, window::kHeaderWidth, window::kHeaderHeight);
  Image2->Picture().LoadFromResourceName(ModuleInstance(), L"BRINDLE_HEADER");
  Image2->PictureChanged();
  Image2->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) { Image1MouseDown(x, y); };
  Image2->OnMouseMove = [this](TObject*, TShiftState, int x, int y) { Image1MouseMove(x, y); };
  Image2->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { Image1MouseUp(); };

  presetbox = Make<TComboBox>(csDropDownList);
  presetbox->SetBounds(66, 22, 204, 21);
  presetbox->SetSorted(true);
  presetbox->DropDownCount = 30;
  presetbox->AutoDropDown = true;
  presetbox->Cursor = crHandPoint;
  presetbox->SetColor(clBlack);
  presetbox->SetHint(L"选择预设");
  presetbox->SetShowHint(true);
  presetbox->OnDropDown = [this](TObject*) { presetboxDropDown(); };
  presetbox->OnChange = [this](TObject*) { presetboxSelect(); };

  BitButton1 = MakeButton(this, 4, 44, 49, 18, L"BRINDLE_BASS", L"Previous", [this] { BitButton1Click(); }, true);
  BitButton6 = MakeButton(this, 55, 44, 49, 18, L"BRINDLE_MUSIC", L"Previous", [this] { BitButton6Click(); }, true);
  BitButton2 = MakeButton(this, 106, 44, 61, 18, L"BRINDLE_SETTINGS", L"Previous", [this] { BitButton2Click(); }, true);
  BitButton3 = MakeButton(this, 169, 44, 50, 18, L"BRINDLE_SAVE", L"保存预设", [this] { Button1Click(); }, false);
  BitButton4 = MakeButton(this, 221, 44, 50, 18, L"BRINDLE_DELETE", L"删除预设", [this] { Button2Click(); }, false);

  Panel_osc = Make<TPanel>();
  Panel_osc->SetBounds(5, 63, window::kScopeWidth, window::kScopeHeight);
  Panel_osc->BevelOuter = bvNone;
  Panel_osc->SetColor(kScopePanelColour);
  osc = Panel_osc->Make<TPaintBox>();
  osc->SetAlign(alClient);
  osc->OnPaint = [this](TObject*) { osc->Canvas().Draw(0, 0, ScopeBuffer); };
  osc->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) { oscMouseDown(x, y); };
  osc->OnMouseMove = [this](TObject*, TShiftState, int x, int y) { Image1MouseMove(x, y); };
  osc->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { Image1MouseUp(); };

  const auto makePanel = [this](int height) {
    TPanel* p = Make<TPanel>();
    p->SetBounds(9, window::kHeaderHeight, 257, height);
    p->BevelOuter = bvNone;
    p->SetColor(clBlack);
    p->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) { Image1MouseDown(x, y); };
    p->OnMouseMove = [this](TObject*, TShiftState, int x, int y) { Image1MouseMove(x, y); };
    p->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { Image1MouseUp(); };
    return p;
  };
  Panel_bass = makePanel(window::kBassPanelHeight);
  Panel_music = makePanel(window::kMusicPanelHeight);
  Panel_cfg = makePanel(window::kSettingsPanelHeight);
  BitButton5 = MakeButton(Panel_cfg, 169, 29, 82, 31, L"BRINDLE_ABOUTBUTTON", L"我!", [this] { Button3Click(); }, false);

  Generalreset1 = PopupMenu1.Items.Add(L"重置所有", [this](TObject*) { Generalreset1Click(); });
  Changeicon1 = PopupMenu1.Items.Add(L"改变系统托盘图标", [this](TObject*) { Changeicon1Click(); });
  Defaulticon1 = PopupMenu1.Items.Add(L"默认图标", [this](TObject*) { Defaulticon1Click(); });
  Getbackthewindow1 = PopupMenu2.Items.Add(L"显示窗口", [this](TObject*) { Getbackthewindow1Click(); });
  PopupMenu = &PopupMenu1;
  CoolTrayIcon1 = std::make_unique<TCoolTrayIcon>(this);
  CoolTrayIcon1->SetHint(L"Brindle Enhancer");
  CoolTrayIcon1->SetShowHint(false);
  CoolTrayIcon1->PopupMenu = &PopupMenu2;
  CoolTrayIcon1->OnClick = [this](TObject*) { CoolTrayIcon1Click(); };
  CoolTrayIcon1->OnBalloonHintClick = [this](TObject*) { CoolTrayIcon1BalloonHintClick(); };
  for (TPanel* p : {Panel_bass, Panel_music, Panel_cfg}) p->PopupMenu = &PopupMenu1;
  Image2->PopupMenu = &PopupMenu1;

  OpenPictureDialog1 = std::make_unique<TOpenDialog>();
  OpenPictureDialog1->Filter = L"图标 (*.ico)|*.ico";
  OpenPictureDialog1->Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;
  SaveDialog1 = std::make_unique<TSaveDialog>();

  const auto timer = [](TTimer& t, unsigned ms, std::function<void()> run) {
    t.SetEnabled(false);
    t.SetInterval(ms);
    t.OnTimer = [run = std::move(run)](TObject*) { run(); };
  };
  timer(Timer_show, 1, [this] { Timer_showTimer(); });
  timer(timermove, 50, [this] { timermoveTimer(); });
  timer(Timer_osc, 500, [this] { Timer_oscTimer(); });
  timer(Timer1, 1000, [this] { Timer1Timer(); });
  timer(Timer2, 30000, [this] { Timer2Timer(); });
  timer(Timer3, 500, [this] { Timer3Timer(); });
}

TBitButton* TForm_s::MakeButton(TWinControl* parent, int left, int top, int width, int height, const wchar_t* picture,
                                const wchar_t* hint, std::function<void()> click, bool doubleClickToo) {
  TBitButton* b = parent->Make<TBitButton>();
  b->SetBounds(left, top, width, height);
  TBitmap strip;
  strip.LoadFromResourceName(ModuleInstance(), picture);
  b->SetBmp(strip);
  b->SetTransparentBmp(false);
  b->SetHint(hint);
  b->OnClick = [click](TObject*) { click(); };
  // the second press of a double click toggles again, like a click of its own
  if (doubleClickToo) b->OnDblClick = [click](TObject*) { click(); };
  return b;
}

bool TForm_s::RunModal(const std::function<bool()>& call) {
  // The host's windows take no input meanwhile: a host that ended the
  // plug-in under the dialog would free this window and unload the code the
  // dialog returns into.
  TTaskWindowsDisabled host(Handle());
  return call();
}

// --- creation and start-up ---------------------------------------------------

void TForm_s::FormCreate() {
  module_.WindowClosed = false;
  HRGN region = CreatePolygonRgn(reinterpret_cast<const POINT*>(window::kWindowOutline.data()),
                                 window::kOutlinePoints, WINDING);
  SetWindowRgn(Handle(), region, TRUE);  // the window owns the region now
  SetColor(clBlack);
  ScopeBuffer.SetPixelFormat(pf24bit);
  ScopeGrid.SetPixelFormat(pf24bit);
  // settings file, preset folder, the first run's defaults
  module_.WindowCreated();
  SetBounds(module_.window.x, module_.window.y, window::kHeaderWidth, window::kHeaderHeight);
  for (TPanel* p : {Panel_bass, Panel_music, Panel_cfg}) {
    p->Hide();
    p->SetEnabled(false);
  }
  SettingsPending = true;
  Timer_show.SetEnabled(true);
}

void TForm_s::Timer_showTimer() {
  Timer_show.SetEnabled(false);
  if (SettingsPending) {
    ShowSettings();
    SettingsPending = false;
  }
  SetVisible(ReadInt(Settings(), "hidden") == 0);
  for (TTimer* t : {&timermove, &Timer_osc, &Timer1, &Timer2, &Timer3}) t->SetEnabled(true);

  const TRect d = Screen().DesktopRect();
  const Point clamped = window::ClampToDesktop(Position(), {d.Left, d.Top, d.Right, d.Bottom});
  if (!(clamped == Position())) SetBounds(clamped.x, clamped.y, Width(), Height());
  HostRect = ReadHostRect();
  const window::SnapResult snap = window::SnapAtStartup(Position(), Width(), HostRect);
  HostDocked = snap.docked;
  PlaceAfterHost(snap.target, false);
  DockOffset = window::DockOffsetOf(HostRect, Position());

  iconbuf_ = Icon();
  CoolTrayIcon1->SetIcon(Icon());
  CoolTrayIcon1->SetIconVisible(true);
  BuildScopeBitmaps();
}

void TForm_s::FormShow() {
  // a window shown again after closing saves its settings once more at the end
  module_.WindowClosed = false;
  Timer_show.SetEnabled(true);
}

void TForm_s::FormHide() {
  for (TTimer* t : {&Timer_osc, &Timer1, &Timer3}) t->SetEnabled(false);
}

// --- placement -------------------------------------------------------------

Rect TForm_s::WindowRect() const {
  RECT r{};
  GetWindowRect(Handle(), &r);
  return {r.left, r.top, r.right, r.bottom};
}

Point TForm_s::Position() const {
  const Rect r = WindowRect();
  return {r.left, r.top};
}

Rect TForm_s::ReadHostRect() {
  RECT r{};
  if (module_.HostWindow) GetWindowRect(static_cast<HWND>(module_.HostWindow), &r);
  return {r.left, r.top, r.right, r.bottom};
}

void TForm_s::PlaceAfterHost(Point target, bool activate) {
  HWND after = activate ? HWND_TOP : static_cast<HWND>(module_.HostWindow);
  UINT flags = SWP_NOSIZE | (activate ? 0 : SWP_NOACTIVATE);
  if (!after) flags |= SWP_NOZORDER;
  SetWindowPos(Handle(), after, target.x, target.y, 0, 0, flags);
}

void TForm_s::timermoveTimer() {
  if (!HostDocked || Dragging) return;
  const Rect before = HostRect;
  HostRect = ReadHostRect();
  const window::FollowResult f = window::FollowHost(before, HostRect, DockOffset);
  if (f.action == window::FollowResult::Action::move)
    PlaceAfterHost(f.target, false);
  else if (f.action == window::FollowResult::Action::undock)
    HostDocked = false;
}

void TForm_s::Image1MouseDown(int x, int y) {
  timermove.SetEnabled(false);
  if (x > 255 && y < 20) {  // the hide corner
    Hide();
    return;
  }
  Dragging = true;
  GrabPoint = {x, y};
}

void TForm_s::oscMouseDown(int x, int y) {
  timermove.SetEnabled(false);
  Dragging = true;
  GrabPoint = {x, y};
}

void TForm_s::Image1MouseMove(int x, int y) {
  ClearHints();
  if (!Dragging) return;
  module_.processor->scope.ScopeFrameCredit.fetch_add(1, std::memory_order_relaxed);
  HostRect = ReadHostRect();
  const window::SnapResult snap = window::SnapWhileDragging(Position(), Width(), {x, y}, GrabPoint, HostRect);
  HostDocked = snap.docked;
  PlaceAfterHost(snap.target, true);
}

void TForm_s::Image1MouseUp() {
  Dragging = false;
  HostRect = ReadHostRect();
  DockOffset = window::DockOffsetOf(HostRect, Position());
  timermove.SetEnabled(true);
  module_.processor->scope.ScopeFrameCredit.fetch_add(1, std::memory_order_relaxed);
}

void TForm_s::TogglePanel(Panel pressed) {
  OpenPanel = window::TogglePanel(OpenPanel, pressed);
  const std::array<std::pair<Panel, TPanel*>, 3> panels{
      {{Panel::bass, Panel_bass}, {Panel::music, Panel_music}, {Panel::settings, Panel_cfg}}};
  for (const auto& [kind, panel] : panels) {
    const bool open = kind == OpenPanel;
    if (open) panel->SetBounds(9, window::kHeaderHeight, panel->Width(), panel->Height());
    panel->SetVisible(open);
    panel->SetEnabled(open);
  }
  SetHeight(window::WindowHeight(OpenPanel));
}

// --- tray icon and menus ----------------------------------------------------

void TForm_s::CoolTrayIcon1Click() {
  WriteInt(Settings(), "hidden", Visible() ? 1 : 0);
  SetVisible(!Visible());
}

void TForm_s::CoolTrayIcon1BalloonHintClick() { Show(); }

void TForm_s::Getbackthewindow1Click() {
  HostDocked = false;
  WriteInt(Settings(), "x", 100);
  WriteInt(Settings(), "y", 100);
  // the start-up that showing runs reads `hidden`: the window stays shown
  WriteInt(Settings(), "hidden", 0);
  module_.window.hidden = 0;
  SetBounds(ReadInt(Settings(), "x"), ReadInt(Settings(), "y"), Width(), Height());
  Show();
}

void TForm_s::LoadIconFile() {
  const std::string& file = module_.window.icon;
  if (file.size() <= 3 || !Disk().Exists(file)) return;
  try {
    Icon().LoadFromFile(Widen(file), 16);
  } catch (...) {
    // a file that is no icon: the window keeps its icon and starts on
  }
}

void TForm_s::Changeicon1Click() {
  if (!RunModal([this] { return OpenPictureDialog1->Execute(); })) return;
  const std::string name = Narrow(OpenPictureDialog1->FileName);
  try {
    Icon().LoadFromFile(Widen(name), 16);
  } catch (...) {
    HandleException(std::current_exception());
    return;  // the icon and the stored name stay as they were
  }
  module_.window.icon = name;
  CoolTrayIcon1->SetIcon(Icon());
}

void TForm_s::Defaulticon1Click() {
  // the window's own icon, whatever a start-up run found in place
  Icon() = ownIcon_;
  CoolTrayIcon1->SetIconVisible(false);
  CoolTrayIcon1->SetIcon(Icon());
  CoolTrayIcon1->SetIconVisible(true);
  module_.window.icon.clear();
}

void TForm_s::Generalreset1Click() {
  WriteDefaultSettings(Settings());
  SetBounds(ReadInt(Settings(), "x"), ReadInt(Settings(), "y"), Width(), Height());
  LoadSettings(Settings(), module_.params, module_.window);
  ShowSettings();
}

// --- closing -----------------------------------------------------------------

void TForm_s::FormCloseQuery(bool& canClose) {
  canClose = true;
  if (!module_.handshake.Bypass.load() && module_.HostWindow)
    PostMessageW(static_cast<HWND>(module_.HostWindow), WM_CLOSE, 0, 0);
}

void TForm_s::FormClose() {
  if (SettingsPending) {
    // closed before its start-up ran: it was never placed nor shown, so the
    // stored place and visibility stand
    module_.window.hidden = ReadInt(Settings(), "hidden");
  } else {
    const Point pos = Position();
    module_.window.x = pos.x;
    module_.window.y = pos.y;
    module_.window.hidden = Visible() ? 0 : 1;
  }
  module_.WindowClosing();
  CoolTrayIcon1->HideTaskbarIcon();
}

void TForm_s::FormDestroy() {
  CoolTrayIcon1->SetIconVisible(false);
  for (TTimer* t : {&Timer_show, &timermove, &Timer_osc, &Timer1, &Timer2, &Timer3}) t->SetEnabled(false);
  ScopeBuffer.SetSize(0, 0);
  ScopeGrid.SetSize(0, 0);
  module_.WindowDestroyedNow();
}

// --- the scope ----------------------------------------------------------------

namespace {

void CopyRaster(const window::Raster& from, TBitmap& to) {
  const PixelView v = to.Pixels();
  if (!v.Bits || v.Width != from.width || v.Height != from.height) return;
  GdiFlush();
  for (int y = 0; y < v.Height; ++y)
    std::memcpy(v.Row(y), from.pixels.data() + size_t(y) * size_t(from.width), size_t(v.Width) * 4);
}

}  // namespace

void TForm_s::BuildScopeBitmaps() {
  const int w = osc->Width(), h = osc->Height();
  ScopeBuffer.SetSize(w, h);
  ScopeGrid.SetSize(w, h);
  ScopeLayout = window::MakeScopeLayout(w, h);
  gridRaster_ = window::MakeScopeGrid(ScopeLayout);
  CopyRaster(gridRaster_, ScopeGrid);
}

void TForm_s::Slider_tChange() {
  const int fps = Slider_t->Position();
  Timer_osc.SetInterval(unsigned(window::ScopeFramePeriodMs(fps)));
  Label_osc->SetCaption(Widen(window::ScopeRateText(fps)));
  module_.window.timer = fps;
}

void TForm_s::Timer_oscTimer() {
  ScopeValues& s = module_.processor->scope;
  const auto index = window::NextScopeFrame(s.ScopeFrameCredit, s.ScopeBlockStart.load(), ScopeLastBlockStart,
                                            module_.window.delay, s.BlockSampleRate.load(), ScopeLayout.width,
                                            kScopeRingValues);
  if (!index || gridRaster_.pixels.empty()) return;
  ScopeReadIndex = *index;
  window::DrawScopeFrame(ScopeLayout, gridRaster_, s.ScopeRing, ScopeReadIndex, frameRaster_);
  CopyRaster(frameRaster_, ScopeBuffer);
  if (Visible()) osc->Canvas().Draw(0, 0, ScopeBuffer);
}

void TForm_s::Timer1Timer() {
  Slider_tChange();
  module_.window.delay = window::ParseScopeDelay(Narrow(Edit1->Text()));
  // what the user is typing stays as typed; the box shows the value taken
  // once the focus leaves it
  if (!Edit1->Focused()) Edit1->SetText(std::to_wstring(module_.window.delay));
  module_.processor->scope.ScopeFrameCredit.fetch_add(1, std::memory_order_relaxed);
}

void TForm_s::Edit1Exit() {
  module_.window.delay = window::ParseScopeDelay(Narrow(Edit1->Text()));
  Edit1->SetText(std::to_wstring(module_.window.delay));
}

void TForm_s::Timer3Timer() {
  Label_clip->SetCaption(Widen(window::ClipText(module_.processor->scope.ClipHeld.load())));
}

void TForm_s::CheckBox1Click() {
  if (!CheckBox1->Checked()) {
    module_.window.autodetect = 0;
    Edit1->SetEnabled(true);
    return;
  }
  module_.window.autodetect = 1;
  Edit1->SetEnabled(false);
  const auto cut = [](const std::string& s) { return CutText(s, 99); };
  const std::string output = cut(ProfileStore(module_.SettingsFile, "winamp").Read("outname").value_or("???"));
  const std::string buffer = cut(ProfileStore(module_.SettingsFile, "out_ds").Read("cfg_buf_ms").value_or("1000"));
  if (const auto text = window::DetectedDelayText(output, buffer)) Edit1->SetText(Widen(*text));
}

// --- presets and About ----------------------------------------------------------

PresetDisk& TForm_s::Disk() { return *disk_; }

void TForm_s::ActivateHost() {
  if (module_.HostWindow) SetActiveWindow(static_cast<HWND>(module_.HostWindow));
}

void TForm_s::presetboxDropDown() {
  presetbox->Clear();
  const std::string& folder = module_.PresetFolder;
  // the list's folder becomes the host's current folder, and stays so
  if (!SetCurrentDirectoryW(Widen(folder).c_str())) Disk().MakeFolders(folder);
  std::vector<std::string> names = ListPresets(Disk(), folder);
  for (const std::string& name : names) presetbox->Add(Widen(name));
}

void TForm_s::presetboxSelect() {
  if (presetbox->ItemIndex() < 0) return;
  module_.PresetFile = PresetPath(module_.PresetFolder, Narrow(presetbox->Item(presetbox->ItemIndex())));
  const auto askOlder = [this] {
    return RunModal([this] {
      return MessageBoxW(Handle(),
                         L"This preset is older.\rIt's not compatible with this version.\rWould you like to load it?",
                         L"Annoing Question", MB_YESNO) == IDYES;
    });
  };
  if (LoadPreset(Disk(), module_.PresetFile, module_.params, askOlder) == PresetLoad::declined) {
    presetbox->Clear();
    return;
  }
  ShowParameters();
}

namespace {

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), int(a.size()), b.data(),
                                                int(b.size())) == CSTR_EQUAL;
}

}  // namespace

void TForm_s::Button1Click() {
  SaveDialog1->Title = L"保存预设...";
  SaveDialog1->Filter = L"Brindle 预设|*.brindle";
  SaveDialog1->DefaultExt = L"brindle";  // an extension, not a pattern
  // a preset saved again over itself is replaced without a question: that
  // is how a preset is updated
  SaveDialog1->Options = ofHideReadOnly | ofNoChangeDir | ofPathMustExist | ofNoTestFileCreate | ofDontAddToRecent;
  // the folder is there for the dialog to open in, also before the list
  // has ever dropped down
  Disk().MakeFolders(module_.PresetFolder);
  SaveDialog1->InitialDir = Widen(module_.PresetFolder);
  SaveDialog1->FileName = Widen(module_.PresetFile);
  SaveDialog1->Owner = Handle();
  if (RunModal([this] { return SaveDialog1->Execute(); })) SaveChosenPreset(Narrow(SaveDialog1->FileName));
  ActivateHost();
  SetActiveWindow(Handle());
}

void TForm_s::SaveChosenPreset(const std::string& file) {
  if (!PresetPathFits(file)) {
    RunModal([this] { return MessageBoxW(Handle(), Widen(kPresetPathTooLongText).c_str(), L"Brindle", MB_OK) != 0; });
    return;
  }
  module_.PresetFile = file;
  SavePreset(Disk(), file, module_.params);
  presetboxDropDown();
  for (int i = 0; i < presetbox->Count(); ++i)
    if (SameNoCase(Widen(PresetPath(module_.PresetFolder, Narrow(presetbox->Item(i)))), Widen(file))) {
      presetbox->SetItemIndex(i);
      presetboxSelect();
      break;
    }
}

void TForm_s::Button2Click() {
  if (presetbox->ItemIndex() >= 0 &&
      RunModal([this] { return MessageBoxW(Handle(), L"Delete?", L"Annoing?", MB_YESNO) == IDYES; }))
    DeletePreset(Disk(), module_.PresetFile);
  presetbox->Clear();
  ActivateHost();
}

void TForm_s::Button3Click() {
  {
    TForm_a about;
    about.ShowModal();
    about.DoDestroy();
  }
  ActivateHost();
}

// --- the factory ------------------------------------------------------------------

namespace {

class FormWindow : public EnhancerWindow {
 public:
  explicit FormWindow(Module& module) : form_(std::make_unique<TForm_s>(module)) { form_->DoCreate(); }
  ~FormWindow() override {
    form_->DoDestroy();
    form_.reset();
  }
  void Close() override { form_->Close(); }

 private:
  std::unique_ptr<TForm_s> form_;
};

}  // namespace

std::unique_ptr<EnhancerWindow> FormWindowFactory::Create(Module& module) {
  return std::make_unique<FormWindow>(module);
}

TForm_s* FormWindowFactory::Current() { return currentForm; }

}  // namespace brindle::win32
