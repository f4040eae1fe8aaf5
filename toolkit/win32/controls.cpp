#include "toolkit/win32/controls.h"

#include <algorithm>
#include <set>

#include <windowsx.h>

#include "toolkit/win32/forms.h"
#include "toolkit/win32/menus.h"
#include "toolkit/win32/module_windows.h"

namespace tav {

namespace {

// The property that ties a window to its control. Its name carries the
// module's address, so a plug-in's toolkit never takes the host's controls
// for its own.
const wchar_t* ControlProperty() {
  static const std::wstring name = [] {
    wchar_t buf[64];
    wsprintfW(buf, L"TavolenControl.%p", static_cast<void*>(ModuleInstance()));
    return std::wstring(buf);
  }();
  return name.c_str();
}

bool IsMouseMessage(UINT msg) {
  return (msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK) || msg == WM_MOUSELEAVE;
}

TMouseButton ButtonOf(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: return mbRight;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK: return mbMiddle;
    default: return mbLeft;
  }
}
bool IsDown(UINT msg) {
  return msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN || msg == WM_LBUTTONDBLCLK ||
         msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
}
bool IsDouble(UINT msg) { return msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK; }
bool IsUp(UINT msg) { return msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP; }

std::set<TControlCanvas*>& HeldCanvases() {
  static std::set<TControlCanvas*> held;
  return held;
}

}  // namespace

// --- window class and procedures ---------------------------------------------

LRESULT CALLBACK ToolkitWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ToolkitSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

const wchar_t* ToolkitClassName() {
  UseModuleClass(kToolkitWindowClass, ToolkitWindowProc, CS_DBLCLKS);
  return kToolkitWindowClass;
}

LRESULT DispatchToControl(TWinControl* c, UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT r = 0;
  try {
    r = c->WndProc(msg, wParam, lParam);
  } catch (...) {
    HandleException(std::current_exception());
    r = 0;
  }
  if (msg == WM_NCDESTROY) {
    RemovePropW(c->hwnd_, ControlProperty());
    ModuleWindowDestroyed(c->hwnd_);
    c->hwnd_ = nullptr;
  }
  return r;
}

LRESULT CALLBACK ToolkitWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* c = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    c->hwnd_ = hwnd;
    SetPropW(hwnd, ControlProperty(), c);
    ModuleWindowCreated(hwnd);
  }
  TWinControl* c = TWinControl::FromHandle(hwnd);
  if (!c) return DefWindowProcW(hwnd, msg, wParam, lParam);
  return DispatchToControl(c, msg, wParam, lParam);
}

LRESULT CALLBACK ToolkitSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* c = TWinControl::FromHandle(hwnd);
  if (!c) return DefWindowProcW(hwnd, msg, wParam, lParam);
  return DispatchToControl(c, msg, wParam, lParam);
}

// --- TControl ------------------------------------------------------------------

TControl::TControl(TWinControl* parent) : parent_(parent) {
  if (parent_) {
    font_ = parent_->Font();
    parent_->Insert(this);
  }
}

TControl::~TControl() {
  if (parent_) parent_->Remove(this);
}

TCustomForm* TControl::Form() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  Invalidate();
  StoreBounds(left, top, width, height);
  Invalidate();
  BoundsChanged();
}

void TControl::SetAlign(TAlign a) {
  align_ = a;
  if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  if (!v) Invalidate();
  visible_ = v;
  if (v) Invalidate();
  VisibleChanged();
  if (parent_ && align_ != alNone) parent_->Realign();
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  EnabledChanged();
}

TColor TControl::Color() const { return parentColor_ && parent_ ? parent_->Color() : color_; }

void TControl::SetColor(TColor c) {
  color_ = c;
  parentColor_ = false;
  ColorChanged();
  NotifyParentColorChanged();
}

void TControl::SetParentColor(bool v) {
  if (v == parentColor_) return;
  parentColor_ = v;
  ColorChanged();
  NotifyParentColorChanged();
}

void TControl::NotifyParentColorChanged() {
  auto* w = dynamic_cast<TWinControl*>(this);
  if (!w) return;
  for (TControl* c : w->controls_)
    if (c->parentColor_) {
      c->ColorChanged();
      c->NotifyParentColorChanged();
    }
}

void TControl::SetFont(const TFont& f) {
  font_ = f;
  parentFont_ = false;
  FontChanged();
  NotifyParentFontChanged();
}

void TControl::ApplyParentFont(const TFont& f) {
  font_ = f;
  FontChanged();
  NotifyParentFontChanged();
}

void TControl::NotifyParentFontChanged() {
  auto* w = dynamic_cast<TWinControl*>(this);
  if (!w) return;
  for (TControl* c : w->controls_)
    if (c->parentFont_) c->ApplyParentFont(font_);
}

void TControl::SetCaption(std::wstring_view text) {
  if (text == GetText()) return;
  SetTextInternal(text);
  TextChanged();
}

void TControl::SetHint(std::wstring_view hint) {
  hint_ = hint;
  if (auto* w = dynamic_cast<TWinControl*>(this)) w->UpdateHintTool();
}

void TControl::SetShowHint(bool v) {
  showHint_ = v;
  if (auto* w = dynamic_cast<TWinControl*>(this)) w->UpdateHintTool();
}

void TControl::Invalidate() {
  if (!visible_ || !parent_ || !parent_->HandleAllocated()) return;
  RECT r{left_, top_, left_ + width_, top_ + height_};
  InvalidateRect(parent_->Handle(), &r, FALSE);
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::Update() {
  const TControl* c = this;
  while (c && !c->IsWindowed()) c = c->parent_;
  if (c) UpdateWindow(static_cast<const TWinControl*>(c)->Handle());
}

TPoint TControl::ClientToScreen(TPoint p) const {
  if (!parent_) return p;
  return parent_->ClientToScreen({p.X + left_, p.Y + top_});
}

TPoint TControl::ScreenToClient(TPoint p) const {
  const TPoint o = ClientToScreen({0, 0});
  return {p.X - o.X, p.Y - o.Y};
}

TPoint TControl::ClientOrigin() const { return ClientToScreen({0, 0}); }

void TControl::BringToFront() {
  if (!parent_) return;
  auto& v = parent_->controls_;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  v.push_back(this);
  if (auto* w = dynamic_cast<TWinControl*>(this))
    SetWindowPos(w->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, b, s, x, y);
}
void TControl::MouseMove(TShiftState s, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, s, x, y);
}
void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, b, s, x, y);
}
void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TControl::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}
void TControl::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

TGraphicControl::TGraphicControl(TWinControl* parent) : TControl(parent) {}

// --- TControlCanvas ------------------------------------------------------------

TControlCanvas::TControlCanvas(TControl& control) : control_(control) {}

TControlCanvas::~TControlCanvas() { Release(); }

void TControlCanvas::Acquire() {
  if (Handle()) return;
  const TControl* w = &control_;
  int dx = 0, dy = 0;
  while (w && !w->IsWindowed()) {
    dx += w->Left(), dy += w->Top();
    w = w->Parent();
  }
  if (!w) return;
  window_ = static_cast<const TWinControl*>(w)->Handle();
  if (!window_) return;
  HDC dc = GetDC(window_);
  SetViewportOrgEx(dc, dx, dy, nullptr);
  IntersectClipRect(dc, 0, 0, control_.Width(), control_.Height());
  SetHandle(dc);
  HeldCanvases().insert(this);
}

void TControlCanvas::Release() {
  if (!Handle()) return;
  HDC dc = Handle();
  SetHandle(nullptr);
  ReleaseDC(window_, dc);
  window_ = nullptr;
  HeldCanvases().erase(this);
}

void FreeDeviceContexts() {
  auto held = HeldCanvases();
  for (TControlCanvas* c : held) c->Release();
}

// --- TWinControl -------------------------------------------------------------

TWinControl::TWinControl(TWinControl* parent, const TCreateParams& p) : TControl(parent) {
  StoreBounds(p.Left, p.Top, p.Width, p.Height);
  SetTextInternal(p.Caption);
  DWORD style = p.Style;
  HWND parentWindow = parent ? parent->Handle() : p.Owner;
  if (!parent) style &= ~WS_CHILD;
  const bool own = p.ClassName == nullptr;
  hwnd_ = nullptr;
  HWND h = CreateWindowExW(p.ExStyle, own ? ToolkitClassName() : p.ClassName, p.Caption.c_str(), style, p.Left,
                           p.Top, p.Width, p.Height, parentWindow, nullptr, ModuleInstance(), own ? this : nullptr);
  if (!h) RaiseLastOSError("CreateWindowEx");
  if (!own) {
    hwnd_ = h;
    SetPropW(h, ControlProperty(), this);
    oldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ToolkitSubclassProc)));
    ModuleWindowCreated(h, oldProc_);
  }
  tabStop_ = (style & WS_TABSTOP) != 0;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
  RECT r;
  GetWindowRect(hwnd_, &r);
  if (parent) MapWindowPoints(nullptr, parent->Handle(), reinterpret_cast<POINT*>(&r), 2);
  StoreBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  SetVisibleFlag((style & WS_VISIBLE) != 0);
}

TWinControl::~TWinControl() {
  // Owned children go first, while this window still exists.
  owned_.clear();
  DestroyHandle();
  ReleaseModuleClasses();
}

void TWinControl::DestroyHandle() {
  if (!hwnd_) return;
  HWND h = hwnd_;
  if (oldProc_) {
    SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
    RemovePropW(h, ControlProperty());
    ModuleWindowDestroyed(h);
    hwnd_ = nullptr;
  }
  DestroyWindow(h);
  hwnd_ = nullptr;
}

TWinControl* TWinControl::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  return static_cast<TWinControl*>(GetPropW(hwnd, ControlProperty()));
}

void TWinControl::Insert(TControl* c) {
  controls_.push_back(c);
  ControlAdded(c);
}

void TWinControl::Remove(TControl* c) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
  if (mouseControl_ == c) mouseControl_ = nullptr;
  if (captureControl_ == c) captureControl_ = nullptr;
  if (!c->IsWindowed()) c->Invalidate();
}

void TWinControl::SetTextInternal(std::wstring_view text) {
  TControl::SetTextInternal(text);
  if (hwnd_) SetWindowTextW(hwnd_, std::wstring(text).c_str());
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (!hwnd_) return TControl::SetBounds(left, top, width, height);
  SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  // the window's answer (WM_WINDOWPOSCHANGED) stores the bounds
}

TRect TWinControl::ClientRect() const {
  if (!hwnd_) return TControl::ClientRect();
  RECT r{};
  GetClientRect(hwnd_, &r);
  return {r.left, r.top, r.right, r.bottom};
}

void TWinControl::SetClientSize(int width, int height) {
  if (!hwnd_) return;
  RECT r{0, 0, width, height};
  const DWORD style = GetWindowLongW(hwnd_, GWL_STYLE), ex = GetWindowLongW(hwnd_, GWL_EXSTYLE);
  const bool menu = !(style & WS_CHILD) && GetMenu(hwnd_) != nullptr;
  AdjustWindowRectEx(&r, style, menu, ex);
  SetBounds(Left(), Top(), r.right - r.left, r.bottom - r.top);
  if (!menu) return;
  // A menu bar that wraps at this width takes more than the one line counted
  // above: the window grows by what the client lacks (a few rounds, as the
  // bar's lines follow the width only).
  for (int round = 0; round < 3; ++round) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int missing = height - (client.bottom - client.top);
    if (missing == 0) break;
    SetBounds(Left(), Top(), Width(), Height() + missing);
  }
}

void TWinControl::SetVisible(bool v) {
  if (v == Visible()) return;
  SetVisibleFlag(v);
  if (hwnd_) ShowWindow(hwnd_, v ? SW_SHOW : SW_HIDE);
  VisibleChanged();
  if (Parent() && Align() != alNone) Parent()->Realign();
}

void TWinControl::SetEnabled(bool v) {
  if (v == Enabled()) return;
  TControl::SetEnabled(v);
  if (hwnd_) EnableWindow(hwnd_, v);
}

void TWinControl::Invalidate() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void TWinControl::Repaint() {
  if (!hwnd_) return;
  InvalidateRect(hwnd_, nullptr, FALSE);
  UpdateWindow(hwnd_);
}

void TWinControl::FontChanged() {
  if (hwnd_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
  Invalidate();
}

void TWinControl::SetTabStop(bool v) {
  tabStop_ = v;
  if (!hwnd_) return;
  LONG s = GetWindowLongW(hwnd_, GWL_STYLE);
  SetWindowLongW(hwnd_, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
}

bool TWinControl::CanFocus() const {
  return hwnd_ && IsWindowVisible(hwnd_) && IsWindowEnabled(hwnd_);
}

void TWinControl::SetFocus() {
  if (hwnd_) ::SetFocus(hwnd_);
}

void TWinControl::Realign() {
  TRect area = ClientRect();
  auto place = [&](TAlign which) {
    for (TControl* c : controls_) {
      if (c->Align() != which || !c->Visible()) continue;
      switch (which) {
        case alTop: c->SetBounds(area.Left, area.Top, area.Width(), c->Height()); area.Top += c->Height(); break;
        case alBottom:
          c->SetBounds(area.Left, area.Bottom - c->Height(), area.Width(), c->Height());
          area.Bottom -= c->Height();
          break;
        case alLeft: c->SetBounds(area.Left, area.Top, c->Width(), area.Height()); area.Left += c->Width(); break;
        case alRight:
          c->SetBounds(area.Right - c->Width(), area.Top, c->Width(), area.Height());
          area.Right -= c->Width();
          break;
        case alClient: c->SetBounds(area.Left, area.Top, area.Width(), area.Height()); break;
        default: break;
      }
    }
  };
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) place(a);
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(wchar_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!hwnd_) return 0;
  return DispatchToControl(this, msg, wParam, lParam);
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (oldProc_) return CallWindowProcW(oldProc_, hwnd_, msg, wParam, lParam);
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

HBRUSH TWinControl::CtlColor(HDC dc) {
  SetTextColor(dc, ColorToRGB(Font().Color()));
  SetBkColor(dc, ColorToRGB(Color()));
  return CachedBrush(Color());
}

void TWinControl::FocusChanged(bool gained) {
  if (gained && OnEnter) OnEnter(this);
  if (!gained && OnExit) OnExit(this);
}

void TWinControl::UpdateHintTool() {
  if (TCustomForm* f = Form()) f->UpdateHint(this);
}

TControl* TWinControl::ControlAt(int x, int y) {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (c->IsWindowed() || !c->Visible()) continue;
    const TRect r = c->BoundsRect();
    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom && c->HitTest(x - r.Left, y - r.Top)) return c;
  }
  return nullptr;
}

bool TWinControl::RouteMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
  if (msg == WM_MOUSELEAVE) {
    trackingLeave_ = false;
    if (mouseControl_) {
      TControl* old = mouseControl_;
      mouseControl_ = nullptr;
      old->MouseLeave();
    }
    if (mouseInside_) {
      mouseInside_ = false;
      MouseLeave();
    }
    return true;
  }
  if (!trackingLeave_) {
    TRACKMOUSEEVENT t{sizeof(t), TME_LEAVE, hwnd_, 0};
    trackingLeave_ = TrackMouseEvent(&t) != FALSE;
  }
  TControl* target = captureControl_ ? captureControl_ : ControlAt(x, y);
  if (msg == WM_MOUSEMOVE && !captureControl_) {
    TControl* under = target;
    if (under != mouseControl_) {
      TControl* old = mouseControl_;
      mouseControl_ = under;
      if (old) old->MouseLeave();
      if (under) under->MouseEnter();
    }
    if (!mouseInside_) {
      mouseInside_ = true;
      MouseEnter();
    }
  }
  if (!target || !target->Enabled()) return false;
  const int cx = x - target->Left(), cy = y - target->Top();
  TShiftState s = ShiftFromMouse(wParam);
  if (IsDown(msg)) {
    if (IsDouble(msg)) s |= ssDouble;
    captureControl_ = target;
    if (GetCapture() != hwnd_) SetCapture(hwnd_);
    if (ButtonOf(msg) == mbLeft) target->clicked_ = !IsDouble(msg);
    if (IsDouble(msg) && ButtonOf(msg) == mbLeft) target->DblClick();
    target->MouseDown(ButtonOf(msg), s, cx, cy);
  } else if (IsUp(msg)) {
    const bool anyDown = (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
    if (!anyDown) {
      captureControl_ = nullptr;
      if (GetCapture() == hwnd_) ReleaseCapture();
    }
    if (ButtonOf(msg) == mbLeft && target->clicked_) {
      target->clicked_ = false;
      if (cx >= 0 && cy >= 0 && cx < target->Width() && cy < target->Height()) target->Click();
    }
    target->MouseUp(ButtonOf(msg), s, cx, cy);
  } else if (msg == WM_MOUSEMOVE) {
    target->MouseMove(s, cx, cy);
  }
  return true;
}

void TWinControl::WindowMouse(UINT msg, WPARAM wParam, int x, int y) {
  TShiftState s = ShiftFromMouse(wParam);
  const bool own = oldProc_ == nullptr;
  if (IsDown(msg)) {
    if (IsDouble(msg)) s |= ssDouble;
    if (own) {
      if (GetCapture() != hwnd_) SetCapture(hwnd_);
      if (ButtonOf(msg) == mbLeft) clicked_ = !IsDouble(msg);
      if (IsDouble(msg) && ButtonOf(msg) == mbLeft) DblClick();
    }
    MouseDown(ButtonOf(msg), s, x, y);
  } else if (IsUp(msg)) {
    if (own) {
      if (!(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == hwnd_) ReleaseCapture();
      if (ButtonOf(msg) == mbLeft && clicked_) {
        clicked_ = false;
        const TRect r = ClientRect();
        if (x >= 0 && y >= 0 && x < r.Right && y < r.Bottom) Click();
      }
    }
    MouseUp(ButtonOf(msg), s, x, y);
  } else if (msg == WM_MOUSEMOVE) {
    MouseMove(s, x, y);
  }
}

LRESULT TWinControl::HandlePaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  const TRect r = ClientRect();
  if (r.Width() > 0 && r.Height() > 0) {
    if (!backBuffer_) backBuffer_ = std::make_unique<TBitmap>();
    backBuffer_->SetSize(r.Width(), r.Height());
    TCanvas& c = backBuffer_->Canvas();
    // Only the part to be painted is drawn (a label that changed paints
    // itself, not the whole window); the rest of the buffer is not copied.
    SelectClipRgn(c.Handle(), nullptr);
    IntersectClipRect(c.Handle(), ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
    c.Font = Font();
    c.Brush.SetStyle(bsSolid);
    c.Brush.SetColor(Color());
    c.Pen = TPen();
    c.FillRect(r);
    // A failing painter shows its exception; the paint still ends.
    GuardedCall([&] { PaintWindow(c); });
    c.ResetSelection();
    PaintControls(c, ps.rcPaint);
    SelectClipRgn(c.Handle(), nullptr);
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
           ps.rcPaint.bottom - ps.rcPaint.top, c.Handle(), ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  }
  EndPaint(hwnd_, &ps);
  return 0;
}

void TWinControl::PaintControls(TCanvas& canvas, const RECT& area) {
  HDC dc = canvas.Handle();
  for (TControl* c : controls_) {
    if (c->IsWindowed() || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
    if (c->Left() >= area.right || c->Top() >= area.bottom || c->Left() + c->Width() <= area.left ||
        c->Top() + c->Height() <= area.top)
      continue;
    const int saved = SaveDC(dc);
    canvas.ResetSelection();
    OffsetViewportOrgEx(dc, c->Left(), c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    canvas.Font = c->Font();
    canvas.Brush.SetStyle(bsSolid);
    canvas.Brush.SetColor(c->Color());
    canvas.Pen = TPen();
    GuardedCall([&] { c->Paint(canvas); });
    canvas.ResetSelection();
    RestoreDC(dc, saved);
  }
}

void TWinControl::HandleKeyMessage(UINT msg, WPARAM& wParam, LPARAM lParam) {
  if (msg == WM_CHAR || msg == WM_SYSCHAR) {
    wchar_t ch = static_cast<wchar_t>(wParam);
    KeyPress(ch);
    wParam = ch;
    return;
  }
  WORD key = static_cast<WORD>(wParam);
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN)
    KeyDown(key, KeyboardShift());
  else
    KeyUp(key, KeyboardShift());
  wParam = key;
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (lParam) {
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lParam))) {
          child->CommandNotify(HIWORD(wParam));
          return 0;
        }
      } else if (HIWORD(wParam) == 0 && DispatchMenuCommand(LOWORD(wParam))) {
        return 0;
      }
      break;
    case WM_NOTIFY: {
      auto* h = reinterpret_cast<NMHDR*>(lParam);
      if (TWinControl* child = FromHandle(h->hwndFrom); child && child != this) return child->NotifyNotify(h);
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(lParam)); child && child != this)
        if (HBRUSH b = child->CtlColor(reinterpret_cast<HDC>(wParam))) return reinterpret_cast<LRESULT>(b);
      break;
    case WM_ERASEBKGND:
      if (IsContainer()) return 1;
      break;
    case WM_PAINT:
      if (IsContainer()) return HandlePaint();
      break;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd_) {
        POINT p;
        GetCursorPos(&p);
        ::ScreenToClient(hwnd_, &p);
        TControl* c = IsContainer() ? ControlAt(p.x, p.y) : nullptr;
        if (!c) c = this;
        if (c->Cursor != 0) {
          ::SetCursor(Screen().Cursor(c->Cursor));
          return TRUE;
        }
      }
      break;
    case WM_CONTEXTMENU: {
      const auto from = reinterpret_cast<HWND>(wParam);
      if (from != hwnd_) {
        // A windowed child without a menu of its own passes its right click
        // up: this control's menu serves it, else the click goes on up to
        // the form.
        if (!PopupMenu || !IsChild(hwnd_, from)) break;
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (p.x == -1 && p.y == -1) {
          RECT r;
          GetWindowRect(from, &r);
          p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        }
        PopupMenu->Popup(p.x, p.y);
        return 0;
      }
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (p.x == -1 && p.y == -1) {
        const TPoint c = ClientToScreen({Width() / 2, Height() / 2});
        p = {c.X, c.Y};
      }
      POINT local = p;
      ::ScreenToClient(hwnd_, &local);
      TControl* c = IsContainer() ? ControlAt(local.x, local.y) : nullptr;
      TPopupMenu* menu = c && c->PopupMenu ? c->PopupMenu : PopupMenu;
      if (menu) {
        menu->Popup(p.x, p.y);
        return 0;
      }
      break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
      HandleKeyMessage(msg, wParam, lParam);
      if (wParam == 0) return 0;
      break;
    case WM_GETDLGCODE:
      return DialogCode(static_cast<UINT>(DefaultHandler(msg, wParam, lParam)));
    case WM_SETFOCUS:
      FocusChanged(true);
      break;
    case WM_KILLFOCUS:
      FocusChanged(false);
      break;
    case WM_MOUSEWHEEL:
      if (OnMouseWheel) {
        bool handled = false;
        OnMouseWheel(this, KeyboardShift(), GET_WHEEL_DELTA_WPARAM(wParam),
                     {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, handled);
        if (handled) return 0;
      }
      break;
    case WM_WINDOWPOSCHANGED: {
      const auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
      RECT r;
      GetWindowRect(hwnd_, &r);
      if (Parent() && Parent()->Handle()) MapWindowPoints(nullptr, Parent()->Handle(), reinterpret_cast<POINT*>(&r), 2);
      const bool sized = (r.right - r.left) != Width() || (r.bottom - r.top) != Height();
      StoreBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
      const LRESULT res = DefaultHandler(msg, wParam, lParam);
      if (sized || !(wp->flags & SWP_NOSIZE)) {
        Realign();
        Resized();
      }
      return res;
    }
    case WM_CAPTURECHANGED:
      captureControl_ = nullptr;
      CaptureChanged(reinterpret_cast<HWND>(lParam));
      break;
    default:
      break;
  }
  if (IsMouseMessage(msg)) {
    if (IsContainer() && RouteMouse(msg, wParam, lParam)) {
      // The right button's release over a windowless control still reaches
      // the default handler, which answers it with WM_CONTEXTMENU: the
      // control's menu, or this window's, opens as over the bare window.
      if (msg != WM_RBUTTONUP) return 0;
      return DefaultHandler(msg, wParam, lParam);
    }
    if (msg != WM_MOUSELEAVE && msg != WM_MOUSEWHEEL)
      WindowMouse(msg, wParam, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  }
  return DefaultHandler(msg, wParam, lParam);
}

// --- TCustomControl ------------------------------------------------------------

TCreateParams TCustomControl::DefaultParams() {
  TCreateParams p;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VISIBLE | WS_TABSTOP;
  return p;
}

TCustomControl::TCustomControl(TWinControl* parent, const TCreateParams& params) : TWinControl(parent, params) {}

}  // namespace tav
