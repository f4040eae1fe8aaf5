#include "toolkit/win32/stdctrls.h"

#include <algorithm>

#include "toolkit/win32/forms.h"

namespace tav {

namespace {

int Compare(std::wstring_view a, std::wstring_view b) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                        static_cast<int>(b.size())) -
         CSTR_EQUAL;
}

void DrawBevel(TCanvas& c, TRect& r, TBevelCut cut, int width) {
  if (cut == bvNone) return;
  const COLORREF light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
  for (int i = 0; i < width; ++i) {
    HDC dc = c.Handle();
    const COLORREF tl = cut == bvRaised ? light : dark, br = cut == bvRaised ? dark : light;
    HPEN ptl = CachedPen(tl, 1), pbr = CachedPen(br, 1);
    HGDIOBJ old = SelectObject(dc, ptl);
    MoveToEx(dc, r.Left, r.Bottom - 1, nullptr);
    LineTo(dc, r.Left, r.Top);
    LineTo(dc, r.Right, r.Top);
    SelectObject(dc, pbr);
    MoveToEx(dc, r.Right - 1, r.Top + 1, nullptr);
    LineTo(dc, r.Right - 1, r.Bottom - 1);
    LineTo(dc, r.Left, r.Bottom - 1);
    SelectObject(dc, old);
    r = {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
  }
}

// A memory device context compatible with the screen, kept for measuring
// texts: a label that changes its caption many times a second (a timer's
// clock) takes no screen context for it.
class MeasuringContext {
 public:
  MeasuringContext() : dc_(CreateCompatibleDC(nullptr)) {}
  ~MeasuringContext() {
    if (dc_) DeleteDC(dc_);
  }
  MeasuringContext(const MeasuringContext&) = delete;
  MeasuringContext& operator=(const MeasuringContext&) = delete;
  HDC Handle() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

// --- TLabel --------------------------------------------------------------------

TLabel::TLabel(TWinControl* parent, std::wstring_view caption) : TGraphicControl(parent) {
  StoreBounds(0, 0, 65, 13);
  SetCaption(caption);
  AdjustSize();
}

UINT TLabel::TextFlags() const {
  UINT f = alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
  f |= wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE;
  if (!ShowAccelChar) f |= DT_NOPREFIX;
  return f | DT_EXPANDTABS;
}

void TLabel::AdjustSize() {
  if (!autoSize_) return;
  static MeasuringContext measuring;
  HDC dc = measuring.Handle();
  const bool own = dc != nullptr;
  if (!own) dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font().Handle());
  const std::wstring text = Caption().empty() ? L" " : Caption();
  RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFlags() | DT_CALCRECT);
  SelectObject(dc, old);
  if (!own) ReleaseDC(nullptr, dc);
  int left = Left();
  if (alignment_ == taRightJustify) left = Left() + Width() - r.right;
  SetBounds(left, Top(), wordWrap_ ? Width() : r.right, r.bottom);
}

void TLabel::SetAutoSize(bool v) {
  autoSize_ = v;
  AdjustSize();
}
void TLabel::SetTransparent(bool v) {
  transparent_ = v;
  Invalidate();
}
void TLabel::SetAlignment(TAlignment a) {
  alignment_ = a;
  Invalidate();
}
void TLabel::SetWordWrap(bool v) {
  wordWrap_ = v;
  AdjustSize();
  Invalidate();
}
void TLabel::TextChanged() {
  AdjustSize();
  Invalidate();
}
void TLabel::FontChanged() {
  AdjustSize();
  Invalidate();
}

void TLabel::Paint(TCanvas& canvas) {
  RECT r{0, 0, Width(), Height()};
  HDC dc = canvas.Handle();
  if (!transparent_) {
    canvas.Brush.SetColor(Color());
    canvas.FillRect({0, 0, Width(), Height()});
  }
  canvas.Brush.SetStyle(bsClear);
  SelectObject(dc, Font().Handle());
  SetBkMode(dc, TRANSPARENT);
  const std::wstring text = Caption();
  if (!Enabled()) {
    OffsetRect(&r, 1, 1);
    SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFlags());
    OffsetRect(&r, -1, -1);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
  } else {
    SetTextColor(dc, ColorToRGB(Font().Color()));
  }
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFlags());
}

// --- TPanel, TGroupBox ---------------------------------------------------------

namespace {
TCreateParams ContainerParams(int w, int h) {
  TCreateParams p;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VISIBLE;
  p.ExStyle = WS_EX_CONTROLPARENT;
  p.Width = w;
  p.Height = h;
  return p;
}
}  // namespace

TPanel::TPanel(TWinControl* parent) : TCustomControl(parent, ContainerParams(185, 41)) {}

void TPanel::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  DrawBevel(canvas, r, BevelOuter, BevelWidth);
  DrawBevel(canvas, r, BevelInner, BevelWidth);
  const std::wstring text = Caption();
  if (text.empty()) return;
  HDC dc = canvas.Handle();
  SelectObject(dc, Font().Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font().Color()));
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  const UINT align = Alignment == taCenter ? DT_CENTER : Alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, align | DT_VCENTER | DT_SINGLELINE);
}

TGroupBox::TGroupBox(TWinControl* parent, std::wstring_view caption)
    : TCustomControl(parent, ContainerParams(185, 105)) {
  SetCaption(caption);
}

void TGroupBox::Paint(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  SelectObject(dc, Font().Handle());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  RECT frame{0, tm.tmHeight / 2, Width(), Height()};
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  const std::wstring text = Caption();
  if (text.empty()) return;
  SIZE s{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &s);
  RECT t{8, 0, 8 + s.cx + 4, tm.tmHeight};
  ::FillRect(dc, &t, CachedBrush(Color()));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Enabled() ? Font().Color() : clGrayText));
  ::TextOutW(dc, 10, 0, text.c_str(), static_cast<int>(text.size()));
}

// --- standard-class controls ---------------------------------------------------

TCreateParams TStdControl::Params(const wchar_t* cls, DWORD style, DWORD exStyle, int width, int height,
                                 std::wstring_view caption) {
  TCreateParams p;
  p.ClassName = cls;
  p.Style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style;
  p.ExStyle = exStyle;
  p.Width = width;
  p.Height = height;
  p.Caption = caption;
  return p;
}

std::wstring TStdControl::GetText() const {
  if (!Handle()) return {};
  std::wstring s(GetWindowTextLengthW(Handle()) + 1, L'\0');
  s.resize(GetWindowTextW(Handle(), s.data(), static_cast<int>(s.size())));
  return s;
}

void TStdControl::SetTextInternal(std::wstring_view text) {
  if (Handle()) SetWindowTextW(Handle(), std::wstring(text).c_str());
}

TButton::TButton(TWinControl* parent, std::wstring_view caption)
    : TStdControl(parent, TStdControl::Params(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 75, 25, caption)) {}

void TButton::Click() {
  if (ModalResult != 0)
    if (TCustomForm* f = Form(); f && f->Modal()) f->ModalResult = ModalResult;
  TStdControl::Click();
}

void TButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED) Click();
}

bool TButtonControl::StoreChecked(bool v) {
  if (v == checked_) return false;
  checked_ = v;
  SendMessageW(Handle(), BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  return true;
}

HBRUSH TButtonControl::CtlColor(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  return TStdControl::CtlColor(dc);
}

TCheckBox::TCheckBox(TWinControl* parent, std::wstring_view caption)
    : TButtonControl(parent, Params(L"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0, 97, 17, caption)) {}

void TCheckBox::SetChecked(bool v) {
  if (StoreChecked(v)) Click();
}

void TCheckBox::CommandNotify(WORD code) {
  if (code == BN_CLICKED) SetChecked(!Checked());
}

TRadioButton::TRadioButton(TWinControl* parent, std::wstring_view caption)
    : TButtonControl(parent, Params(L"BUTTON", BS_RADIOBUTTON | BS_NOTIFY | WS_TABSTOP, 0, 113, 17, caption)) {}

void TRadioButton::SetChecked(bool v) {
  if (!StoreChecked(v) || !v) return;
  if (Parent())
    for (TControl* c : Parent()->Controls())
      if (auto* r = dynamic_cast<TRadioButton*>(c); r && r != this) r->SetChecked(false);
  Click();
}

void TRadioButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED) SetChecked(true);
  if (code == BN_DOUBLECLICKED) DblClick();
}

TEdit::TEdit(TWinControl* parent) : TEdit(parent, ES_AUTOHSCROLL) {}

TEdit::TEdit(TWinControl* parent, DWORD extraStyle)
    : TStdControl(parent, TStdControl::Params(L"EDIT", WS_TABSTOP | extraStyle, WS_EX_CLIENTEDGE, 121, 21)) {
  SetColor(clWindow);
}

void TEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  SendMessageW(Handle(), EM_SETREADONLY, v, 0);
}

void TEdit::SetMaxLength(int n) {
  maxLength_ = std::max(n, 0);
  SendMessageW(Handle(), EM_SETLIMITTEXT, maxLength_, 0);
}

void TEdit::SelectAll() { SendMessageW(Handle(), EM_SETSEL, 0, -1); }

void TEdit::CommandNotify(WORD code) {
  if (code == EN_CHANGE && OnChange) OnChange(this);
}

TMemo::TMemo(TWinControl* parent)
    : TEdit(parent, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL) {
  SetBounds(Left(), Top(), 185, 89);
}

std::vector<std::wstring> TMemo::Lines() const {
  std::vector<std::wstring> lines;
  const std::wstring t = Text();
  size_t start = 0;
  while (start <= t.size()) {
    const size_t end = t.find(L"\r\n", start);
    if (end == std::wstring::npos) {
      if (start < t.size()) lines.push_back(t.substr(start));
      break;
    }
    lines.push_back(t.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void TMemo::SetLines(const std::vector<std::wstring>& lines) {
  std::wstring t;
  for (size_t i = 0; i < lines.size(); ++i) t += (i ? L"\r\n" : L"") + lines[i];
  SetText(t);
}

void TMemo::AddLine(std::wstring_view line) {
  auto lines = Lines();
  lines.emplace_back(line);
  SetLines(lines);
}

// --- items -------------------------------------------------------------------

int TItemsControl::Count() const { return static_cast<int>(SendMessageW(Handle(), m_.count, 0, 0)); }

std::wstring TItemsControl::Item(int i) const {
  const LRESULT n = SendMessageW(Handle(), m_.getTextLen, i, 0);
  if (n < 0) return {};
  std::wstring s(n + 1, L'\0');
  const LRESULT got = SendMessageW(Handle(), m_.getText, i, reinterpret_cast<LPARAM>(s.data()));
  s.resize(std::max<LRESULT>(got, 0));
  return s;
}

int TItemsControl::Add(std::wstring_view text) {
  if (!sorted_) {
    const std::wstring t(text);
    return static_cast<int>(SendMessageW(Handle(), m_.add, 0, reinterpret_cast<LPARAM>(t.c_str())));
  }
  int i = 0;
  const int n = Count();
  while (i < n && Compare(Item(i), text) <= 0) ++i;
  Insert(i, text);
  return i;
}

void TItemsControl::Insert(int index, std::wstring_view text) {
  const std::wstring t(text);
  SendMessageW(Handle(), m_.insert, index, reinterpret_cast<LPARAM>(t.c_str()));
}

void TItemsControl::Delete(int index) { SendMessageW(Handle(), m_.remove, index, 0); }
void TItemsControl::Clear() { SendMessageW(Handle(), m_.reset, 0, 0); }

int TItemsControl::IndexOf(std::wstring_view text) const {
  for (int i = 0, n = Count(); i < n; ++i)
    if (Item(i) == text) return i;
  return -1;
}

std::vector<std::wstring> TItemsControl::Items() const {
  std::vector<std::wstring> v;
  for (int i = 0, n = Count(); i < n; ++i) v.push_back(Item(i));
  return v;
}

void TItemsControl::SetItems(const std::vector<std::wstring>& items) {
  SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
  Clear();
  for (const auto& s : items) Add(s);
  SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  Invalidate();
}

void TItemsControl::SetSorted(bool v) {
  if (v == sorted_) return;
  sorted_ = v;
  if (v) {
    auto items = Items();
    std::stable_sort(items.begin(), items.end(), [](auto& a, auto& b) { return Compare(a, b) < 0; });
    sorted_ = false;
    SetItems(items);
    sorted_ = true;
  }
}

int TItemsControl::ItemIndex() const { return static_cast<int>(SendMessageW(Handle(), m_.getCur, 0, 0)); }

void TItemsControl::SetItemIndex(int i) {
  if (i < 0 || i >= Count()) i = -1;
  SendMessageW(Handle(), m_.setCur, static_cast<WPARAM>(i), 0);
}

TComboBox::TComboBox(TWinControl* parent, TComboBoxStyle style)
    : TItemsControl(parent,
                    TStdControl::Params(L"COMBOBOX",
                        WS_TABSTOP | WS_VSCROLL | (style == csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN) |
                            CBS_AUTOHSCROLL,
                        0, 145, 200),
                    {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING,
                     CB_RESETCONTENT, CB_FINDSTRINGEXACT, CB_GETCURSEL, CB_SETCURSEL}) {
  SetColor(clWindow);
}

void TComboBox::SetBounds(int left, int top, int width, int height) {
  // The window's height includes the drop-down list.
  if (!Handle()) return TItemsControl::SetBounds(left, top, width, height);
  const int item = static_cast<int>(SendMessageW(Handle(), CB_GETITEMHEIGHT, 0, 0));
  SetWindowPos(Handle(), nullptr, left, top, width, height + item * DropDownCount + 2,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TComboBox::DroppedDown() const { return SendMessageW(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0; }

void TComboBox::SetDroppedDown(bool v) { SendMessageW(Handle(), CB_SHOWDROPDOWN, v, 0); }

void TComboBox::KeyPress(wchar_t& key) {
  TItemsControl::KeyPress(key);
  // A drop-down list takes the keys itself; a box with an edit field hears of
  // typing through CBN_EDITCHANGE.
  if (AutoDropDown && key >= L' ' && !DroppedDown()) SetDroppedDown(true);
}

void TComboBox::CommandNotify(WORD code) {
  switch (code) {
    case CBN_EDITCHANGE:
      if (AutoDropDown && !DroppedDown()) SetDroppedDown(true);
      if (OnChange) OnChange(this);
      break;
    case CBN_SELCHANGE:
      if (OnChange) OnChange(this);
      break;
    case CBN_DROPDOWN:
      if (OnDropDown) OnDropDown(this);
      break;
    case CBN_CLOSEUP:
      if (OnCloseUp) OnCloseUp(this);
      break;
    default: break;
  }
}

TListBox::TListBox(TWinControl* parent)
    : TItemsControl(parent,
                    TStdControl::Params(L"LISTBOX", WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                        WS_EX_CLIENTEDGE, 121, 97),
                    {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING,
                     LB_RESETCONTENT, LB_FINDSTRINGEXACT, LB_GETCURSEL, LB_SETCURSEL}) {
  SetColor(clWindow);
}

int TListBox::TopIndex() const { return static_cast<int>(SendMessageW(Handle(), LB_GETTOPINDEX, 0, 0)); }
void TListBox::SetTopIndex(int i) { SendMessageW(Handle(), LB_SETTOPINDEX, i, 0); }
void TListBox::SetScrollWidth(int pixels) { SendMessageW(Handle(), LB_SETHORIZONTALEXTENT, pixels, 0); }

int TListBox::ItemAtPos(TPoint p) const {
  const LRESULT r = SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(p.X, p.Y));
  if (HIWORD(r)) return -1;
  return LOWORD(r);
}

void TListBox::CommandNotify(WORD code) {
  if (code == LBN_SELCHANGE) Click();
  if (code == LBN_DBLCLK) DblClick();
}

}  // namespace tav
