#include "win32/tray_icon.h"

#include <algorithm>
#include <cstring>

#include <shellapi.h>

#include "win32/shared_window.h"

namespace brindle {

namespace {

std::vector<TCoolTrayIcon*>& LiveIcons() {
  static std::vector<TCoolTrayIcon*> icons;
  return icons;
}

// ssShift, ssCtrl and ssAlt of the keyboard now (the top bit of each key).
uint32_t CurrentShiftState() {
  uint32_t s = 0;
  if (GetAsyncKeyState(VK_SHIFT) & 0x8000) s |= window::kShiftKey;
  if (GetAsyncKeyState(VK_CONTROL) & 0x8000) s |= window::kCtrlKey;
  if (GetAsyncKeyState(VK_MENU) & 0x8000) s |= window::kAltKey;
  return s;
}

// The shell's restart message is registered when the common controls are
// 4.71 or newer, as the shell that sends it.
UINT RegisterTaskbarCreated() {
  struct DllVersion {
    DWORD cbSize, major, minor, build, platform;
  } v{sizeof(DllVersion), 0, 0, 0, 0};
  using GetVersionFn = HRESULT(WINAPI*)(DllVersion*);
  HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
  if (!comctl) comctl = LoadLibraryW(L"comctl32.dll");  // the toolkit links it: stays loaded
  auto get = comctl ? reinterpret_cast<GetVersionFn>(reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion"))) : nullptr;
  if (!get || FAILED(get(&v))) return 0;
  if (((v.major << 16) | v.minor) < 0x40047) return 0;
  return RegisterWindowMessageA("TaskbarCreated");
}

}  // namespace

// --- the shell, as the click logic sees it ------------------------------------

class TCoolTrayIcon::Shell : public window::TrayShell {
 public:
  explicit Shell(TCoolTrayIcon& icon) : icon_(icon) {}
  bool NotifyIcon(window::TrayOp op, const window::TrayIconRecord& r) override {
    TrayIconData d{};
    d.cbSize = sizeof d;
    d.hWnd = TrayWindow();
    d.uID = r.id;
    d.uFlags = r.flags;
    d.uCallbackMessage = r.callbackMessage;
    d.hIcon = reinterpret_cast<HICON>(r.icon);
    std::memcpy(d.szTip, r.tip.data(), sizeof d.szTip);
    return icon_.NotifyShell(static_cast<DWORD>(op), d);
  }
  uint32_t DoubleClickTime() override { return GetDoubleClickTime(); }
  void PopupAtCursor() override { icon_.PopupAtCursor(); }
  // The toolkit's menu items have no default item: nothing to click.
  void ClickDefaultMenuItem() override {}
  window::Point CursorPos() override {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
  }

 private:
  TCoolTrayIcon& icon_;
};

TCoolTrayIcon::TrayWindowUse::TrayWindowUse() { TrayWindowShared().Acquire(); }
TCoolTrayIcon::TrayWindowUse::~TrayWindowUse() { TrayWindowShared().Release(); }

bool TCoolTrayIcon::HandleTrayMessage(tav::TMessage& m) {
  if (m.Msg == window::kTrayCallbackMessage) {
    POINT p{};
    GetCursorPos(&p);
    for (TCoolTrayIcon* icon : LiveIcons()) icon->SyncHandlers();
    // A callback for an id that no icon has (one gone since) finds nothing.
    window::TrayIconLogic::Dispatch(m.WParam, static_cast<uint32_t>(m.LParam), {p.x, p.y}, CurrentShiftState());
    m.Result = 0;
    return true;
  }
  const UINT restart = TCoolTrayIcon::TaskbarCreatedMessage();
  if (restart != 0 && m.Msg == restart) {
    window::TrayIconLogic::TaskbarCreatedForAll();
    m.Result = 0;
    return true;
  }
  switch (m.Msg) {
    // agrees to a shutdown and is never closed from outside
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_QUIT:
    case WM_ENDSESSION:
    case WM_NCDESTROY:
      m.Result = 1;
      return true;
    default:
      return false;
  }
}

SharedHiddenWindow& TCoolTrayIcon::TrayWindowShared() {
  static SharedHiddenWindow shared(&TCoolTrayIcon::HandleTrayMessage);
  return shared;
}

// --- the component -----------------------------------------------------------

TCoolTrayIcon::TCoolTrayIcon(tav::TCustomForm* owner)
    : owner_(owner),
      shell_(std::make_unique<Shell>(*this)),
      logic_(*shell_, TimerWindowUse::Backend()),
      cycleTimer_(1000, [this](TSimpleTimer*) { CycleTick(); }) {
  TaskbarCreatedMessage();
  LiveIcons().push_back(this);
  Forward();
  icon_.OnChange = [this](tav::TObject*) { logic_.SetIcon(reinterpret_cast<uintptr_t>(icon_.Handle())); };
  if (owner_) {
    for (UINT msg : {WM_SHOWWINDOW, WM_SYSCOMMAND})
      ownerHandlers_.push_back(owner_->AddMessageHandler(msg, [this](tav::TMessage& m) { return OwnerMessage(m); }));
  }
  // The icon is not in the tray: the removal finds nothing.
  logic_.DeleteIcon();
  // The shell's notification behaviour before version 5.
  logic_.UpdateIcon();
  TrayIconData d{};
  d.cbSize = sizeof d;
  d.hWnd = TrayWindow();
  d.uID = logic_.Id();
  NotifyShell(4, d);  // NIM_SETVERSION with version 0
}

TCoolTrayIcon::~TCoolTrayIcon() {
  logic_.SetIconVisible(false);
  cycleTimer_.Stop();
  icon_.OnChange = nullptr;
  if (owner_)
    for (int id : ownerHandlers_) owner_->RemoveMessageHandler(id);
  auto& live = LiveIcons();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  // The logic's timers and its id go with the members, the windows after.
}

// The logic's events reach the component's handlers; its double-click
// handler only while one is assigned, since a click waits only then.
void TCoolTrayIcon::Forward() {
  auto& e = logic_.events;
  e.onClick = [this] { if (OnClick) OnClick(this); };
  e.onMouseEnter = [this] { if (OnMouseEnter) OnMouseEnter(this); };
  e.onMouseExit = [this] { if (OnMouseExit) OnMouseExit(this); };
  e.onMouseDown = [this](window::MouseButton b, uint32_t s, window::Point p) {
    if (OnMouseDown) OnMouseDown(this, static_cast<tav::TMouseButton>(b), s, p.x, p.y);
  };
  e.onMouseUp = [this](window::MouseButton b, uint32_t s, window::Point p) {
    if (OnMouseUp) OnMouseUp(this, static_cast<tav::TMouseButton>(b), s, p.x, p.y);
  };
  e.onMouseMove = [this](uint32_t s, window::Point p) { if (OnMouseMove) OnMouseMove(this, s, p.x, p.y); };
  e.onBalloonHintClick = [this] { if (OnBalloonHintClick) OnBalloonHintClick(this); };
  e.onBalloonHintHide = [this] { if (OnBalloonHintHide) OnBalloonHintHide(this); };
  e.onBalloonHintTimeout = [this] { if (OnBalloonHintTimeout) OnBalloonHintTimeout(this); };
  SyncHandlers();
}

void TCoolTrayIcon::SyncHandlers() {
  if (!OnDblClick)
    logic_.events.onDblClick = nullptr;
  else if (!logic_.events.onDblClick)
    logic_.events.onDblClick = [this] { if (OnDblClick) OnDblClick(this); };
  logic_.hasPopupMenu = PopupMenu != nullptr;
  logic_.leftPopup = LeftPopup;
}

HWND TCoolTrayIcon::TrayWindow() { return TrayWindowShared().Handle(); }

UINT TCoolTrayIcon::TaskbarCreatedMessage() {
  static const UINT message = RegisterTaskbarCreated();
  return message;
}

bool TCoolTrayIcon::NotifyShell(DWORD message, TrayIconData& data) {
  return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA*>(&data)) != FALSE;
}

void TCoolTrayIcon::SetIcon(const tav::TIcon& icon) {
  icon_.OnChange = nullptr;
  icon_ = icon;
  icon_.OnChange = [this](tav::TObject*) { logic_.SetIcon(reinterpret_cast<uintptr_t>(icon_.Handle())); };
  logic_.SetIcon(reinterpret_cast<uintptr_t>(icon_.Handle()));
}

void TCoolTrayIcon::SetHint(std::wstring_view hint) {
  hint_ = hint;
  std::string narrow;
  if (!hint_.empty()) {
    const int n = WideCharToMultiByte(CP_ACP, 0, hint_.data(), int(hint_.size()), nullptr, 0, nullptr, nullptr);
    narrow.resize(n > 0 ? n : 0);
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, hint_.data(), int(hint_.size()), narrow.data(), n, nullptr, nullptr);
  }
  logic_.SetHint(std::move(narrow));
}

void TCoolTrayIcon::SetShowHint(bool v) {
  showHint_ = v;
  logic_.SetShowHint(v);
}

void TCoolTrayIcon::SetWantEnterExitEvents(bool v) {
  wantEnterExit_ = v;
  logic_.SetWantEnterExitEvents(v);
}

void TCoolTrayIcon::SetIconList(const std::vector<tav::TIcon>* list) {
  iconList_ = list;
  SetIconIndex(0);
}

void TCoolTrayIcon::SetIconIndex(int index) {
  if (iconList_ && !iconList_->empty()) {
    iconIndex_ = window::ClampIconIndex(index, static_cast<int32_t>(iconList_->size()));
    icon_ = (*iconList_)[static_cast<size_t>(iconIndex_)];  // updates the tray
  } else {
    iconIndex_ = 0;
  }
  logic_.UpdateIcon();
}

void TCoolTrayIcon::SetCycleIcons(bool v) {
  cycleIcons_ = v;
  if (v) {
    SetIconIndex(0);
    cycleTimer_.SetIntervalMs(CycleInterval());
    cycleTimer_.Start();
  } else {
    cycleTimer_.Stop();
  }
}

void TCoolTrayIcon::SetCycleInterval(uint32_t ms) {
  cycleTimer_.SetIntervalMs(ms);
  SetCycleIcons(cycleIcons_);  // a running cycle starts again at 0
}

void TCoolTrayIcon::CycleTick() {
  if (!iconList_ || iconList_->empty()) return;
  const int count = static_cast<int>(iconList_->size());
  if (iconIndex_ < count) icon_ = (*iconList_)[static_cast<size_t>(iconIndex_)];
  const int next = window::NextCycleIndex(iconIndex_, count);
  if (OnCycle) OnCycle(this, next);
  SetIconIndex(next);
}

void TCoolTrayIcon::PopupAtCursor() {
  if (!PopupMenu) return;
  POINT p{};
  if (!GetCursorPos(&p)) return;
  PopupMenu->PopupComponent = this;
  PopupMenu->Popup(p.x, p.y, TrayWindow());
}

void TCoolTrayIcon::SendToTray() {
  HideMainWindow();
  SetIconVisible(true);
}

bool TCoolTrayIcon::OwnerMessage(tav::TMessage& m) {
  if (m.Msg == WM_SHOWWINDOW && m.WParam == 1 && m.LParam == 0) {
    // shown by a ShowWindow call: to the front (there is no application
    // window to bring first inside a library)
    SetForegroundWindow(owner_->Handle());
    return false;
  }
  const bool minimising = (m.Msg == WM_SHOWWINDOW && m.WParam == 0 && m.LParam == SW_PARENTCLOSING) ||
                          (m.Msg == WM_SYSCOMMAND && (m.WParam & 0xFFF0) == SC_MINIMIZE);
  if (!minimising || !MinimizeToTray || !OnMinimizeToTray) return false;
  OnMinimizeToTray(this);
  SendToTray();
  m.Result = 1;
  return true;
}

}  // namespace brindle
