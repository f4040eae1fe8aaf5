// The control hierarchy: TControl (position, colour, font, mouse events),
// TGraphicControl (windowless, drawn and fed by its parent), TWinControl (one
// HWND, its messages routed to member handlers) and TCustomControl (a windowed
// control of our own that paints itself on a canvas).
//
// Controls are either members of their form (constructed with the form as
// parent) or made at run time with TWinControl::Make, which gives the parent
// their ownership. A control removes itself from its parent when destroyed.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "toolkit/win32/base.h"
#include "toolkit/win32/graphics.h"

namespace tav {

class TWinControl;
class TPopupMenu;
class TCustomForm;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A window message as the per-form handlers see it.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result = 0;
};

class TControl : public TObject {
 public:
  explicit TControl(TWinControl* parent);
  ~TControl() override;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  TWinControl* Parent() const { return parent_; }
  // The form the control sits on (itself for a form).
  TCustomForm* Form() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
  virtual TRect ClientRect() const { return {0, 0, width_, height_}; }
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool v);

  // Colour: the parent's unless one of its own is set.
  TColor Color() const;
  void SetColor(TColor c);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& f);
  bool ParentFont() const { return parentFont_; }

  std::wstring Caption() const { return caption_; }
  void SetCaption(std::wstring_view text);
  std::wstring Text() const { return GetText(); }
  void SetText(std::wstring_view text) { SetCaption(text); }
  std::wstring Hint() const { return hint_; }
  void SetHint(std::wstring_view hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  int Cursor = 0;  // crDefault
  TPopupMenu* PopupMenu = nullptr;

  TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  virtual void Invalidate();
  virtual void Repaint();
  void Update();
  virtual bool IsWindowed() const { return false; }
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;
  // The point in the nearest window's client coordinates.
  TPoint ClientOrigin() const;
  void BringToFront();

  // Mouse input in client coordinates, from the window or the parent's router.
  virtual void MouseDown(TMouseButton b, TShiftState s, int x, int y);
  virtual void MouseMove(TShiftState s, int x, int y);
  virtual void MouseUp(TMouseButton b, TShiftState s, int x, int y);
  virtual void Click();
  virtual void DblClick();
  virtual void MouseEnter();
  virtual void MouseLeave();
  // Windowless controls: whether the point (client coordinates) is theirs.
  virtual bool HitTest(int x, int y) const { return true; }

  // Notifications of the control's state.
  virtual void ColorChanged() { Invalidate(); }
  virtual void FontChanged() { Invalidate(); }
  virtual void EnabledChanged() { Invalidate(); }
  virtual void VisibleChanged() {}
  virtual void TextChanged() { Invalidate(); }

  // Windowless controls draw here, in their own coordinates.
  virtual void Paint(TCanvas& canvas) {}

 protected:
  virtual void BoundsChanged() {}
  virtual std::wstring GetText() const { return caption_; }
  virtual void SetTextInternal(std::wstring_view text) { caption_ = text; }
  void NotifyParentColorChanged();
  void NotifyParentFontChanged();
  void ApplyParentFont(const TFont& f);
  TColor OwnColor() const { return color_; }
  void SetVisibleFlag(bool v) { visible_ = v; }
  void StoreBounds(int left, int top, int width, int height) {
    left_ = left, top_ = top, width_ = width, height_ = height;
  }
  bool clicked_ = false;  // a left press began on this control

 private:
  friend class TWinControl;
  TWinControl* parent_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  bool parentColor_ = true;
  bool parentFont_ = true;
  bool showHint_ = false;
  TColor color_ = 0x8000000F;  // clBtnFace
  TFont font_;
  std::wstring caption_;
  std::wstring hint_;
};

// A control without a window, drawn on its parent and fed by its parent's
// mouse router.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TWinControl* parent);
};

// What window a windowed control is. Each class hands its parameters to the
// constructor of TWinControl, which creates the window at once.
struct TCreateParams {
  const wchar_t* ClassName = nullptr;  // nullptr: the toolkit's own class
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VISIBLE;
  DWORD ExStyle = 0;
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::wstring Caption;
  HWND Owner = nullptr;  // top-level windows only
};

class TWinControl : public TControl {
 public:
  TWinControl(TWinControl* parent, const TCreateParams& params);
  ~TWinControl() override;

  HWND Handle() const { return hwnd_; }
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  static TWinControl* FromHandle(HWND hwnd);

  // Makes a control owned by this one (freed with it).
  template <class T, class... Args>
  T* Make(Args&&... args) {
    auto c = std::make_unique<T>(this, std::forward<Args>(args)...);
    T* raw = c.get();
    owned_.push_back(std::move(c));
    return raw;
  }

  void SetBounds(int left, int top, int width, int height) override;
  TRect ClientRect() const override;
  void SetClientSize(int width, int height);
  void SetVisible(bool v) override;
  void SetEnabled(bool v) override;
  void Invalidate() override;
  void Repaint() override;
  bool IsWindowed() const override { return true; }
  void FontChanged() override;

  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v);
  bool Focused() const { return hwnd_ && GetFocus() == hwnd_; }
  virtual bool CanFocus() const;
  void SetFocus();

  const std::vector<TControl*>& Controls() const { return controls_; }
  // Lays out aligned children.
  void Realign();

  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter, OnExit;
  std::function<void(TObject*, TShiftState, int delta, TPoint pos, bool& handled)> OnMouseWheel;

  // Key entry points; a key set to 0 is consumed.
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(wchar_t& key);

  // Runs a message through the control's handling.
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  // Paints the windowless children that reach into `area` (client
  // coordinates) over what the window drew.
  void PaintControls(TCanvas& canvas, const RECT& area);

 protected:
  // The caption is also the window's text (a form's title).
  void SetTextInternal(std::wstring_view text) override;
  void DestroyHandle();
  // The message handler chain. Call the base for messages not handled.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);

  // Command and notification codes the parent window passes back to the control.
  virtual void CommandNotify(WORD code) {}
  virtual LRESULT NotifyNotify(NMHDR* header) { return 0; }
  // Colours of a standard control (WM_CTLCOLOR*): return a brush or nullptr.
  virtual HBRUSH CtlColor(HDC dc);
  // Whether this window paints its own background and windowless children.
  virtual bool IsContainer() const { return false; }
  virtual void PaintWindow(TCanvas& canvas) {}
  virtual UINT DialogCode(UINT defaultCode) { return defaultCode; }
  virtual void Resized() {}
  virtual void FocusChanged(bool gained);
  // The mouse capture left this window; newCapture is the window that has
  // it now (none when it was released).
  virtual void CaptureChanged(HWND newCapture) {}
  virtual void ControlAdded(TControl* c) {}
  // Mouse messages of this window not taken by a windowless child.
  virtual void WindowMouse(UINT msg, WPARAM wParam, int x, int y);

 private:
  friend class TControl;
  friend LRESULT CALLBACK ToolkitWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK ToolkitSubclassProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT DispatchToControl(TWinControl*, UINT, WPARAM, LPARAM);
  void Insert(TControl* c);
  void Remove(TControl* c);
  TControl* ControlAt(int x, int y);
  bool RouteMouse(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandlePaint();
  void HandleKeyMessage(UINT msg, WPARAM& wParam, LPARAM lParam);
  void UpdateHintTool();

  HWND hwnd_ = nullptr;
  WNDPROC oldProc_ = nullptr;
  bool tabStop_ = false;
  std::vector<TControl*> controls_;
  std::vector<std::unique_ptr<TControl>> owned_;
  TControl* mouseControl_ = nullptr;    // windowless child under the pointer
  TControl* captureControl_ = nullptr;  // windowless child holding the press
  bool trackingLeave_ = false;
  bool mouseInside_ = false;
  std::unique_ptr<TBitmap> backBuffer_;
};

// A canvas on a control outside painting, for drawing at any time (a paint
// box drawn from a timer). It takes the window's device context on first use
// and gives it back after the message being handled (FreeDeviceContexts).
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TControl& control);
  ~TControlCanvas() override;
  void Acquire();
  void Release();

 private:
  TControl& control_;
  HWND window_ = nullptr;
};

// A windowed control of our own kind: focus, tab stop, dialog code, mouse
// wheel, painted double-buffered through Paint().
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TWinControl* parent, const TCreateParams& params = DefaultParams());
  static TCreateParams DefaultParams();

 protected:
  bool IsContainer() const override { return true; }
  void PaintWindow(TCanvas& canvas) override { Paint(canvas); }
};

// The window procedure's guard: runs f, and shows any exception it throws in
// the application's exception box instead of letting it reach the system.
template <class F>
auto GuardedCall(F&& f) -> decltype(f());
void HandleException(std::exception_ptr e);

template <class F>
auto GuardedCall(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (...) {
    HandleException(std::current_exception());
    return decltype(f())();
  }
}

// Device contexts taken by controls' canvases outside painting (a paint box
// drawn from a timer) are given back after each dispatched message.
void FreeDeviceContexts();

}  // namespace tav
