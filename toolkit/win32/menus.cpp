#include "toolkit/win32/menus.h"

#include <algorithm>
#include <map>

#include "toolkit/win32/controls.h"

namespace tav {

namespace {

// Command ids start above the dialog ids (IDOK ... IDHELP) that dialog
// navigation sends.
std::map<WORD, TMenuItem*>& Commands() {
  static std::map<WORD, TMenuItem*> commands;
  return commands;
}

WORD NewCommand(TMenuItem* item) {
  static WORD next = 1000;
  while (Commands().count(next) || next < 1000) ++next;
  Commands()[next] = item;
  return next++;
}

}  // namespace

bool DispatchMenuCommand(WORD id) {
  auto it = Commands().find(id);
  if (it == Commands().end()) return false;
  it->second->Click();
  return true;
}

TMenuItem::TMenuItem() : command_(NewCommand(this)) {}
TMenuItem::TMenuItem(std::wstring_view caption, TNotifyEvent onClick)
    : OnClick(std::move(onClick)), caption_(caption), command_(NewCommand(this)) {}

TMenuItem::~TMenuItem() {
  items_.clear();
  if (sub_) DestroyMenu(sub_);
  Commands().erase(command_);
}

void TMenuItem::SetCaption(std::wstring_view c) {
  caption_ = c;
  Rebuild();
}

void TMenuItem::SetChecked(bool v) {
  if (v && RadioItem && parent_)
    for (auto& s : parent_->items_)
      if (s.get() != this && s->RadioItem && s->GroupIndex == GroupIndex) {
        s->checked_ = false;
        s->Update();
      }
  checked_ = v;
  Update();
}

void TMenuItem::SetEnabled(bool v) {
  enabled_ = v;
  Update();
}

void TMenuItem::SetVisible(bool v) {
  visible_ = v;
  Rebuild();
}

TMenuItem* TMenuItem::Add(std::unique_ptr<TMenuItem> item) { return Insert(Count(), std::move(item)); }

TMenuItem* TMenuItem::Add(std::wstring_view caption, TNotifyEvent onClick) {
  return Add(std::make_unique<TMenuItem>(caption, std::move(onClick)));
}

TMenuItem* TMenuItem::Insert(int index, std::unique_ptr<TMenuItem> item) {
  item->parent_ = this;
  TMenuItem* raw = item.get();
  items_.insert(items_.begin() + std::clamp(index, 0, Count()), std::move(item));
  if (root_ || sub_ || parent_) {
    if (sub_) Fill(sub_);
    Rebuild();
  }
  return raw;
}

void TMenuItem::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
  if (sub_) Fill(sub_);
  Rebuild();
}

void TMenuItem::Clear() {
  items_.clear();
  if (sub_) Fill(sub_);
  Rebuild();
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[i].get() == item) return i;
  return -1;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (OnClick) GuardedCall([&] { OnClick(this); });
}

HMENU TMenuItem::SubMenuHandle() {
  if (!sub_) {
    sub_ = CreatePopupMenu();
    Fill(sub_);
  }
  return sub_;
}

void TMenuItem::Fill(HMENU menu) {
  while (GetMenuItemCount(menu) > 0) RemoveMenu(menu, 0, MF_BYPOSITION);
  for (auto& c : items_) {
    c->in_ = nullptr;
    if (!c->visible_) continue;
    c->in_ = menu;
    if (c->caption_ == L"-") {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (c->checked_ ? MF_CHECKED : 0) | (c->enabled_ ? 0 : MF_GRAYED);
    if (!c->items_.empty()) {
      AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(c->SubMenuHandle()), c->caption_.c_str());
    } else {
      AppendMenuW(menu, flags, c->command_, c->caption_.c_str());
      if (c->RadioItem && c->checked_)
        CheckMenuRadioItem(menu, c->command_, c->command_, c->command_, MF_BYCOMMAND);
    }
  }
}

void TMenuItem::Update() {
  if (!in_) return;
  CheckMenuItem(in_, command_, MF_BYCOMMAND | (checked_ ? MF_CHECKED : MF_UNCHECKED));
  EnableMenuItem(in_, command_, MF_BYCOMMAND | (enabled_ ? MF_ENABLED : MF_GRAYED));
}

void TMenuItem::Rebuild() {
  // Build the containing menu afresh: captions, visibility and submenus.
  TMenuItem* p = parent_;
  if (!p) {
    if (root_) root_->Rebuild();
    return;
  }
  if (p->root_) {
    p->root_->Rebuild();
  } else if (p->sub_) {
    p->Fill(p->sub_);
  }
}

TMenu::TMenu(bool popup) : popup_(popup) { Items.root_ = this; }

TMenu::~TMenu() {
  if (handle_) {
    // the items' submenus are destroyed by the items themselves
    while (GetMenuItemCount(handle_) > 0) RemoveMenu(handle_, 0, MF_BYPOSITION);
    DestroyMenu(handle_);
  }
}

HMENU TMenu::Handle() {
  if (!handle_) {
    handle_ = popup_ ? CreatePopupMenu() : CreateMenu();
    Items.Fill(handle_);
  }
  return handle_;
}

void TMenu::Rebuild() {
  if (!handle_) return;
  Items.Fill(handle_);
  if (auto* m = dynamic_cast<TMainMenu*>(this); m && m->Window) DrawMenuBar(m->Window);
}

namespace {
UINT Track(HMENU menu, int x, int y, HWND owner) {
  return TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr);
}
}  // namespace

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  // The menu needs a window of ours to report to: the active form or the
  // foreground window of this thread.
  HWND owner = GetActiveWindow();
  if (!owner) owner = GetForegroundWindow();
  if (const UINT cmd = Track(Handle(), x, y, owner)) DispatchMenuCommand(static_cast<WORD>(cmd));
}

void TPopupMenu::Popup(int x, int y, HWND owner) {
  if (OnPopup) OnPopup(this);
  SetForegroundWindow(owner);
  const UINT cmd = Track(Handle(), x, y, owner);
  PostMessageW(owner, WM_NULL, 0, 0);
  if (cmd) DispatchMenuCommand(static_cast<WORD>(cmd));
}

}  // namespace tav
