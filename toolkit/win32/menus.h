// Menus: items with captions, check marks, run-time items and submenus; the
// main menu of a form and popup menus.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "toolkit/win32/base.h"

namespace tav {

class TMenu;

class TMenuItem : public TObject {
 public:
  TMenuItem();
  explicit TMenuItem(std::wstring_view caption, TNotifyEvent onClick = {});
  ~TMenuItem() override;

  // "-" makes a separator.
  std::wstring Caption() const { return caption_; }
  void SetCaption(std::wstring_view c);
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  // Checked radio items show a dot and uncheck the others of their group.
  bool RadioItem = false;
  int GroupIndex = 0;
  TNotifyEvent OnClick;

  // Children (a submenu when there are any).
  TMenuItem* Add(std::unique_ptr<TMenuItem> item);
  TMenuItem* Add(std::wstring_view caption, TNotifyEvent onClick = {});
  TMenuItem* Insert(int index, std::unique_ptr<TMenuItem> item);
  void Delete(int index);
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int i) const { return items_.at(i).get(); }
  int IndexOf(const TMenuItem* item) const;
  TMenuItem* Parent() const { return parent_; }

  void Click();
  WORD Command() const { return command_; }
  // The submenu's handle (made on demand).
  HMENU SubMenuHandle();

 private:
  friend class TMenu;
  void Rebuild();           // the parent menu's items after a change
  void Fill(HMENU menu);    // this item's children into menu
  void Update();
  std::wstring caption_;
  bool checked_ = false, enabled_ = true, visible_ = true;
  WORD command_;
  TMenuItem* parent_ = nullptr;
  TMenu* root_ = nullptr;  // on top-level items' parent: the menu object
  std::vector<std::unique_ptr<TMenuItem>> items_;
  HMENU sub_ = nullptr;
  HMENU in_ = nullptr;  // the menu this item is in
};

// The menu bar or popup menu: its Items is the root item.
class TMenu : public TObject {
 public:
  explicit TMenu(bool popup);
  ~TMenu() override;
  TMenuItem Items;
  HMENU Handle();
  void Rebuild();

 protected:
  bool popup_;
  HMENU handle_ = nullptr;
};

class TMainMenu : public TMenu {
 public:
  TMainMenu() : TMenu(false) {}
  // The form whose bar shows this menu (set by TCustomForm::SetMenu).
  HWND Window = nullptr;
};

class TPopupMenu : public TMenu {
 public:
  TPopupMenu() : TMenu(true) {}
  TNotifyEvent OnPopup;
  // Shows the menu at a screen point and runs the chosen item's OnClick; the
  // active form (or the foreground window) owns it.
  void Popup(int x, int y);
  // The same for a menu raised from a hidden window's notification (a tray
  // icon's): the owner is brought to the front first, so that a click outside
  // the menu closes it, and WM_NULL is posted to it after, so that the next
  // menu opens at once.
  void Popup(int x, int y, HWND owner);
  TObject* PopupComponent = nullptr;
};

// Runs the item with this command id; false when it is not a menu item of ours.
bool DispatchMenuCommand(WORD id);

}  // namespace tav
