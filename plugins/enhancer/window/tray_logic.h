// The tray icon's behaviour apart from the shell: the icon record's fields,
// adding, deleting and updating the icon, and the shell's callback
// notifications turned into click, double-click, mouse, enter/exit and balloon
// events. The window side gives a TrayShell (Shell_NotifyIcon, the double-click
// time, the popup menu) and passes each callback message to Dispatch; the
// callback id is a small number from a registry, so a late message for an
// icon that is gone is ignored.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "window/placement.h"
#include "window/simple_timer.h"

namespace brindle::window {

inline constexpr uint32_t kTrayCallbackMessage = 0x800;  // WM_USER + 0x400
inline constexpr uint32_t kTrayFlags = 7;                // message, icon and tip
inline constexpr size_t kTrayTipBytes = 128;
inline constexpr uint32_t kExitTimerMs = 20;

enum class TrayOp : uint32_t { add = 0, modify = 1, remove = 2, setVersion = 4 };

// What the shell's icon record carries besides its size and window.
struct TrayIconRecord {
  uint32_t id = 0;
  uint32_t flags = kTrayFlags;
  uint32_t callbackMessage = kTrayCallbackMessage;
  uintptr_t icon = 0;
  std::array<char, kTrayTipBytes> tip{};
};

class TrayShell {
 public:
  virtual ~TrayShell() = default;
  virtual bool NotifyIcon(TrayOp op, const TrayIconRecord& record) = 0;
  virtual uint32_t DoubleClickTime() = 0;
  // Shows the popup menu at the cursor and returns when it has closed.
  virtual void PopupAtCursor() = 0;
  // Clicks the menu's default item (none when it has no default).
  virtual void ClickDefaultMenuItem() = 0;
  virtual Point CursorPos() = 0;
};

enum class MouseButton { left, right, middle };
// Shift state bits.
inline constexpr uint32_t kShiftKey = 1, kAltKey = 2, kCtrlKey = 4;
inline constexpr uint32_t kLeftButton = 8, kRightButton = 16, kMiddleButton = 32;

struct TrayEvents {
  std::function<void()> onClick, onDblClick, onMouseEnter, onMouseExit;
  std::function<void(MouseButton, uint32_t shift, Point)> onMouseDown, onMouseUp;
  std::function<void(uint32_t shift, Point)> onMouseMove;
  std::function<void()> onBalloonHintClick, onBalloonHintHide, onBalloonHintTimeout;
};

// The hint cut to 127 bytes and closed by a NUL; all zero when it is empty
// or hints are off.
std::array<char, kTrayTipBytes> TrayTip(const std::string& hint, bool showHint);

// Icon cycling: an index past the list's end comes down to its last image;
// the next index after the last is 0.
int32_t ClampIconIndex(int32_t index, int32_t count);
int32_t NextCycleIndex(int32_t index, int32_t count);

class TrayIconLogic {
 public:
  TrayIconLogic(TrayShell& shell, TimerBackend& timers);
  ~TrayIconLogic();  // deletes the icon from the tray
  TrayIconLogic(const TrayIconLogic&) = delete;
  TrayIconLogic& operator=(const TrayIconLogic&) = delete;

  TrayEvents events;
  bool enabled = true;
  bool leftPopup = false;
  bool hasPopupMenu = false;  // a menu is assigned and pops up by itself

  uint32_t Id() const { return record_.id; }
  const TrayIconRecord& Record() const { return record_; }
  bool IconVisible() const { return iconVisible_; }

  void SetIconVisible(bool visible);
  void SetIcon(uintptr_t icon);
  void SetHint(std::string hint);
  void SetShowHint(bool show);
  void SetWantEnterExitEvents(bool want);
  bool AddIcon();
  bool DeleteIcon();
  bool UpdateIcon();

  // One callback notification: `what` is its lParam; `cursor` the cursor's
  // screen position and `shift` the keys held when it is handled.
  void HandleNotification(uint32_t what, Point cursor, uint32_t shift);
  // The exit-detection timer's check with the cursor's position now.
  void CheckCursor(Point cursor);
  // The taskbar was recreated: the shell forgot the icon.
  void TaskbarCreated();

  // A callback message: wParam names the icon; unknown ids are ignored.
  static bool Dispatch(uint64_t id, uint32_t what, Point cursor, uint32_t shift);
  // Every live icon after a taskbar restart.
  static void TaskbarCreatedForAll();

  SimpleTimer& ClickTimer() { return clickTimer_; }
  SimpleTimer& ExitTimer() { return exitTimer_; }

 private:
  void ClickTimerTick();
  void Fill();

  TrayShell& shell_;
  TrayIconRecord record_;
  std::string hint_;
  bool showHint_ = true;
  bool wantEnterExit_ = false;
  bool iconVisible_ = false;
  bool buttonDownSeen_ = false;
  bool clickPending_ = false;
  bool dblClickSeen_ = false;
  bool cursorOutside_ = true;
  Point lastCursor_{};
  SimpleTimer clickTimer_;
  SimpleTimer exitTimer_;
};

}  // namespace brindle::window
