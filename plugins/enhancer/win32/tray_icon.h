// TCoolTrayIcon: one icon in the notification area of the taskbar, the way
// back to the enhancer's window. The click logic (click against double click,
// enter and exit, balloons, taskbar restart) is TrayIconLogic's; this part
// gives it the shell (Shell_NotifyIconA with the 488-byte record), the
// cursor, the double-click time and the popup menu.
//
// The shell's callbacks (message 0x800) come to a hidden window that every
// tray icon of the library shares, made with the first and destroyed with
// the last. It also hears the shell's "TaskbarCreated" broadcast and puts
// every visible icon back. A callback names its icon by a small id: one that
// names an icon that is gone is ignored.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "toolkit/win32/forms.h"
#include "toolkit/win32/graphics.h"
#include "toolkit/win32/menus.h"
#include "win32/simple_timer_window.h"
#include "window/tray_logic.h"

namespace brindle {

class SharedHiddenWindow;

// The shell's 8-bit notification-icon record: 488 bytes in the 32-bit build.
struct TrayIconData {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  char szTip[128];
  DWORD dwState;
  DWORD dwStateMask;
  char szInfo[256];
  UINT uVersion;  // shared with the balloon's time-out
  char szInfoTitle[64];
  DWORD dwInfoFlags;
};
static_assert(sizeof(void*) != 4 || sizeof(TrayIconData) == 488);

class TCoolTrayIcon : public tav::TObject {
 public:
  // owner: the form the icon belongs to (it comes to the front whenever it
  // is shown, and may minimise to the tray); none for an icon of its own.
  explicit TCoolTrayIcon(tav::TCustomForm* owner = nullptr);
  ~TCoolTrayIcon() override;

  // --- what shows -------------------------------------------------------------
  // The icon's picture: loading into it or assigning it updates the tray.
  tav::TIcon& Icon() { return icon_; }
  void SetIcon(const tav::TIcon& icon);
  bool IconVisible() const { return logic_.IconVisible(); }
  // True adds the icon to the tray, false deletes it.
  void SetIconVisible(bool v) { logic_.SetIconVisible(v); }
  // The tooltip: at most 127 bytes of the hint (in the system's 8-bit code
  // page) reach the shell; none when it is empty or ShowHint is off.
  std::wstring Hint() const { return hint_; }
  void SetHint(std::wstring_view hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);

  // --- behaviour ----------------------------------------------------------------
  // Off: the mouse does nothing (no events, no click, no menu); balloon
  // notifications still come.
  bool Enabled() const { return logic_.enabled; }
  void SetEnabled(bool v) { logic_.enabled = v; }
  // The menu shown at the cursor on the right button (and the left one with
  // LeftPopup).
  tav::TPopupMenu* PopupMenu = nullptr;
  bool LeftPopup = false;
  bool WantEnterExitEvents() const { return wantEnterExit_; }
  void SetWantEnterExitEvents(bool v);
  // Minimising the owner (its system menu, or its parent closing) sends it
  // to the tray when OnMinimizeToTray is assigned.
  bool MinimizeToTray = false;
  // Icon cycling through a list of pictures every CycleInterval ms.
  void SetIconList(const std::vector<tav::TIcon>* list);
  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int index);
  bool CycleIcons() const { return cycleIcons_; }
  void SetCycleIcons(bool v);
  uint32_t CycleInterval() const { return cycleTimer_.IntervalMs(); }
  void SetCycleInterval(uint32_t ms);

  // --- events (the icon is the sender; mouse positions are on the screen) ---
  // With an OnDblClick handler a click waits for the double-click time, and
  // a double click never gives a click.
  tav::TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseExit;
  tav::TMouseEvent OnMouseDown, OnMouseUp;
  tav::TMouseMoveEvent OnMouseMove;
  std::function<void(tav::TObject* sender, int nextIndex)> OnCycle;
  tav::TNotifyEvent OnBalloonHintClick, OnBalloonHintHide, OnBalloonHintTimeout, OnMinimizeToTray;

  // --- operations ---------------------------------------------------------------
  // The shell calls; each answers whether the shell took it.
  bool AddIcon() { return logic_.AddIcon(); }
  bool DeleteIcon() { return logic_.DeleteIcon(); }
  bool UpdateIcon() { return logic_.UpdateIcon(); }
  // Shows the popup menu at the cursor, its owner (the icons' hidden window)
  // brought to the front first and WM_NULL posted to it after, so a click
  // outside closes the menu and the next one opens at once.
  void PopupAtCursor();
  // The application's main window and taskbar button: a plug-in library has
  // none, so these hide nothing; SendToTray still shows the icon.
  void HideTaskbarIcon() {}
  void HideMainWindow() {}
  void SendToTray();

  uint32_t IconId() const { return logic_.Id(); }
  // The hidden window the shell reports to (none while no icon exists).
  static HWND TrayWindow();
  // "TaskbarCreated" (0 when the common controls are too old to have it).
  static UINT TaskbarCreatedMessage();

 protected:
  // One call of the shell with the record; tests watch it here.
  virtual bool NotifyShell(DWORD message, TrayIconData& data);

 private:
  class Shell;
  friend class Shell;
  // A use of the icons' shared hidden window.
  struct TrayWindowUse {
    TrayWindowUse();
    ~TrayWindowUse();
  };
  static bool HandleTrayMessage(tav::TMessage& m);
  static SharedHiddenWindow& TrayWindowShared();
  void CycleTick();
  void Forward();
  // The handlers of the moment: the logic defers a click only while a
  // double-click handler is assigned.
  void SyncHandlers();
  bool OwnerMessage(tav::TMessage& m);

  tav::TCustomForm* owner_;
  std::unique_ptr<Shell> shell_;
  // the windows first in and last out: the icon is deleted and the logic's
  // timers killed while they exist
  TrayWindowUse trayWindow_;
  TimerWindowUse timerWindow_;
  window::TrayIconLogic logic_;
  tav::TIcon icon_;
  std::wstring hint_;
  bool showHint_ = true;
  bool wantEnterExit_ = false;
  const std::vector<tav::TIcon>* iconList_ = nullptr;
  int iconIndex_ = 0;
  bool cycleIcons_ = false;
  TSimpleTimer cycleTimer_;
  std::vector<int> ownerHandlers_;
};

}  // namespace brindle
