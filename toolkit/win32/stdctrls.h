// The standard controls: label, panel, group box, button, check box, radio
// button, edit, memo, combo box and list box.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

#include "toolkit/win32/controls.h"

namespace tav {

// A windowless text. With AutoSize it takes the size of its text; with
// Transparent the parent shows through around the letters.
class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TWinControl* parent, std::wstring_view caption = {});
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  // '&' marks an accelerator unless this is off.
  bool ShowAccelChar = true;

  void Paint(TCanvas& canvas) override;
  void TextChanged() override;
  void FontChanged() override;

 private:
  UINT TextFlags() const;
  void AdjustSize();
  bool autoSize_ = true, transparent_ = false, wordWrap_ = false;
  TAlignment alignment_ = taLeftJustify;
};

enum TBevelCut { bvNone, bvLowered, bvRaised };

// A container with bevels and a centred caption.
class TPanel : public TCustomControl {
 public:
  explicit TPanel(TWinControl* parent);
  TBevelCut BevelOuter = bvRaised;
  TBevelCut BevelInner = bvNone;
  int BevelWidth = 1;
  TAlignment Alignment = taCenter;
  void Paint(TCanvas& canvas) override;
  void TextChanged() override { Invalidate(); }
};

class TGroupBox : public TCustomControl {
 public:
  explicit TGroupBox(TWinControl* parent, std::wstring_view caption = {});
  void Paint(TCanvas& canvas) override;
  void TextChanged() override { Invalidate(); }
};

// Base of the controls over a window-system class: their text is the
// window's text.
class TStdControl : public TWinControl {
 public:
  TStdControl(TWinControl* parent, const TCreateParams& params) : TWinControl(parent, params) {}
  // The parameters of a visible child of a window-system class.
  static TCreateParams Params(const wchar_t* cls, DWORD style, DWORD exStyle, int width, int height,
                              std::wstring_view caption = {});

 protected:
  std::wstring GetText() const override;
  void SetTextInternal(std::wstring_view text) override;
};

class TButton : public TStdControl {
 public:
  explicit TButton(TWinControl* parent, std::wstring_view caption = {});
  // A button with a modal result ends its modal form with that result.
  int ModalResult = 0;
  void Click() override;

 protected:
  void CommandNotify(WORD code) override;
};

// Check box and radio button: a button with a check state whose text sits
// on the parent's colour.
class TButtonControl : public TStdControl {
 public:
  using TStdControl::TStdControl;
  bool Checked() const { return checked_; }

 protected:
  // Stores the state and shows it; false when it was already so.
  bool StoreChecked(bool v);
  HBRUSH CtlColor(HDC dc) override;

 private:
  bool checked_ = false;
};

class TCheckBox : public TButtonControl {
 public:
  explicit TCheckBox(TWinControl* parent, std::wstring_view caption = {});
  // OnClick fires when the state changes, from code as from the user.
  void SetChecked(bool v);

 protected:
  void CommandNotify(WORD code) override;
};

class TRadioButton : public TButtonControl {
 public:
  explicit TRadioButton(TWinControl* parent, std::wstring_view caption = {});
  // Checking one unchecks the other radio buttons of the same parent;
  // OnClick fires when it becomes checked.
  void SetChecked(bool v);

 protected:
  void CommandNotify(WORD code) override;
};

class TEdit : public TStdControl {
 public:
  explicit TEdit(TWinControl* parent);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int n);  // 0: no limit
  void SelectAll();
  TNotifyEvent OnChange;

 protected:
  TEdit(TWinControl* parent, DWORD extraStyle);
  void CommandNotify(WORD code) override;

 private:
  bool readOnly_ = false;
  int maxLength_ = 0;
};

class TMemo : public TEdit {
 public:
  explicit TMemo(TWinControl* parent);
  std::vector<std::wstring> Lines() const;
  void SetLines(const std::vector<std::wstring>& lines);
  void AddLine(std::wstring_view line);
  void Clear() { SetText(L""); }
};

// The items of a combo box or list box.
class TItemsControl : public TStdControl {
 public:
  int Count() const;
  std::wstring Item(int i) const;
  int Add(std::wstring_view text);
  void Insert(int index, std::wstring_view text);
  void Delete(int index);
  void Clear();
  int IndexOf(std::wstring_view text) const;
  void SetItems(const std::vector<std::wstring>& items);
  std::vector<std::wstring> Items() const;
  // Kept in order of the user's locale when set.
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);
  // -1 or an index out of range selects nothing.
  int ItemIndex() const;
  void SetItemIndex(int i);

 protected:
  struct Messages {
    UINT count, getTextLen, getText, add, insert, remove, reset, find, getCur, setCur;
  };
  TItemsControl(TWinControl* parent, const TCreateParams& p, const Messages& m)
      : TStdControl(parent, p), m_(m) {}
  Messages m_;
  bool sorted_ = false;
};

enum TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TItemsControl {
 public:
  explicit TComboBox(TWinControl* parent, TComboBoxStyle style = csDropDown);
  int DropDownCount = 8;
  // The list drops down as soon as the user starts typing in the box (its
  // OnDropDown runs first, then the typed letter picks an entry).
  bool AutoDropDown = false;
  bool DroppedDown() const;
  void SetDroppedDown(bool v);
  void SetBounds(int left, int top, int width, int height) override;
  TNotifyEvent OnChange, OnDropDown, OnCloseUp;

 protected:
  void CommandNotify(WORD code) override;
  void KeyPress(wchar_t& key) override;
};

class TListBox : public TItemsControl {
 public:
  explicit TListBox(TWinControl* parent);
  int TopIndex() const;
  void SetTopIndex(int i);
  // Width in pixels the horizontal scroll bar lets the items be.
  void SetScrollWidth(int pixels);
  int ItemAtPos(TPoint p) const;  // -1 outside the items

 protected:
  void CommandNotify(WORD code) override;
};

}  // namespace tav
