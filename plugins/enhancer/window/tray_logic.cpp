#include "window/tray_logic.h"

#include <algorithm>
#include <cstring>

namespace brindle::window {

namespace {

IdRegistry<TrayIconLogic>& Icons() {
  static IdRegistry<TrayIconLogic> registry;
  return registry;
}

}  // namespace

std::array<char, kTrayTipBytes> TrayTip(const std::string& hint, bool showHint) {
  std::array<char, kTrayTipBytes> tip{};
  if (showHint && !hint.empty()) std::memcpy(tip.data(), hint.data(), std::min(hint.size(), kTrayTipBytes - 1));
  return tip;
}

int32_t ClampIconIndex(int32_t index, int32_t count) {
  if (count <= 0) return 0;
  return index >= count ? count - 1 : index;
}

int32_t NextCycleIndex(int32_t index, int32_t count) { return index >= count - 1 ? 0 : index + 1; }

TrayIconLogic::TrayIconLogic(TrayShell& shell, TimerBackend& timers)
    : shell_(shell),
      clickTimer_(timers, 1000, [this](SimpleTimer&) { ClickTimerTick(); }),
      exitTimer_(timers, kExitTimerMs, [this](SimpleTimer&) { CheckCursor(shell_.CursorPos()); }) {
  record_.id = Icons().Register(this);
}

TrayIconLogic::~TrayIconLogic() {
  DeleteIcon();
  Icons().Release(record_.id);
}

void TrayIconLogic::Fill() { record_.tip = TrayTip(hint_, showHint_); }

bool TrayIconLogic::AddIcon() {
  iconVisible_ = true;
  Fill();
  return shell_.NotifyIcon(TrayOp::add, record_);
}

bool TrayIconLogic::DeleteIcon() {
  iconVisible_ = false;
  Fill();
  return shell_.NotifyIcon(TrayOp::remove, record_);
}

bool TrayIconLogic::UpdateIcon() {
  Fill();
  return shell_.NotifyIcon(TrayOp::modify, record_);
}

void TrayIconLogic::SetIconVisible(bool visible) {
  if (visible)
    AddIcon();
  else
    DeleteIcon();
}

void TrayIconLogic::SetIcon(uintptr_t icon) {
  record_.icon = icon;
  UpdateIcon();
}

void TrayIconLogic::SetHint(std::string hint) {
  hint_ = std::move(hint);
  UpdateIcon();
}

void TrayIconLogic::SetShowHint(bool show) {
  showHint_ = show;
  UpdateIcon();
}

void TrayIconLogic::SetWantEnterExitEvents(bool want) {
  wantEnterExit_ = want;
  exitTimer_.SetRunning(want);
}

void TrayIconLogic::HandleNotification(uint32_t what, Point pt, uint32_t shift) {
  auto down = [&](MouseButton b, uint32_t bit) {
    if (events.onMouseDown) events.onMouseDown(b, shift | bit, pt);
  };
  auto up = [&](MouseButton b, uint32_t bit) {
    if (events.onMouseUp) events.onMouseUp(b, shift | bit, pt);
  };
  switch (what) {
    case 0x0403: if (events.onBalloonHintHide) events.onBalloonHintHide(); return;
    case 0x0404: if (events.onBalloonHintTimeout) events.onBalloonHintTimeout(); return;
    case 0x0405: if (events.onBalloonHintClick) events.onBalloonHintClick(); return;
    default: break;
  }
  if (!enabled) return;
  switch (what) {
    case 0x0200:  // mouse move
      if (wantEnterExit_ && cursorOutside_) {
        if (events.onMouseEnter) events.onMouseEnter();
        cursorOutside_ = false;
      }
      if (events.onMouseMove) events.onMouseMove(shift, pt);
      lastCursor_ = pt;
      break;
    case 0x0201:  // left down
      if (events.onDblClick) {
        clickTimer_.SetIntervalMs(shell_.DoubleClickTime());
        clickTimer_.Start();
      }
      down(MouseButton::left, kLeftButton);
      buttonDownSeen_ = true;
      if (leftPopup && hasPopupMenu) shell_.PopupAtCursor();
      break;
    case 0x0202:  // left up
      if (buttonDownSeen_) {
        clickPending_ = true;
        if (!clickTimer_.Running()) {
          buttonDownSeen_ = false;
          clickPending_ = false;
          if (events.onClick) events.onClick();
        }
      }
      buttonDownSeen_ = false;
      up(MouseButton::left, kLeftButton);
      break;
    case 0x0203:  // left double click
      clickPending_ = false;
      dblClickSeen_ = true;
      if (events.onDblClick) events.onDblClick();
      if (hasPopupMenu && !leftPopup) shell_.ClickDefaultMenuItem();
      break;
    case 0x0204:
      down(MouseButton::right, kRightButton);
      if (hasPopupMenu) shell_.PopupAtCursor();
      break;
    case 0x0205: up(MouseButton::right, kRightButton); break;
    case 0x0207: down(MouseButton::middle, kMiddleButton); break;
    case 0x0208: up(MouseButton::middle, kMiddleButton); break;
    default: break;
  }
}

void TrayIconLogic::ClickTimerTick() {
  clickTimer_.Stop();
  if (!dblClickSeen_ && clickPending_) {
    clickPending_ = false;
    if (events.onClick) events.onClick();
  }
  dblClickSeen_ = false;
}

void TrayIconLogic::CheckCursor(Point cursor) {
  if (!cursorOutside_ && (cursor.x != lastCursor_.x || cursor.y != lastCursor_.y)) {
    cursorOutside_ = true;
    if (events.onMouseExit) events.onMouseExit();
  }
}

void TrayIconLogic::TaskbarCreated() {
  if (iconVisible_) AddIcon();
}

bool TrayIconLogic::Dispatch(uint64_t id, uint32_t what, Point cursor, uint32_t shift) {
  TrayIconLogic* icon = Icons().Find(id);
  if (!icon) return false;
  icon->HandleNotification(what, cursor, shift);
  return true;
}

void TrayIconLogic::TaskbarCreatedForAll() {
  Icons().ForEach([](TrayIconLogic& icon) { icon.TaskbarCreated(); });
}

}  // namespace brindle::window
