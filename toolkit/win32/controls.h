// The control hierarchy: TControl (position, colour, font, mouse events),
// TGraphicControl (windowless, drawn and fed by its parent), TWinControl (one
// HWND, its messages routed to member handlers) and TCustomControl (a windowed
// control of our own that paints itself on a canvas).
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/win32/base.h"
#include "toolkit/win32/graphics.h"

namespace tav {

class TWinControl;
class TPopupMenu;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

class TControl : public TObject {
 public:
  explicit TControl(TWinControl* parent);
  ~TControl() override;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  TWinControl* Parent() const { return parent_; }

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
  TFont Font;
  // Call after changing Font.
  virtual void FontChanged() { Invalidate(); }

  std::wstring Caption() const { return caption_; }
  void SetCaption(std::wstring_view text);
  std::wstring Hint;
  bool ShowHint = false;
  int Cursor = crDefault;
  TPopupMenu* PopupMenu = nullptr;

  TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  virtual void Invalidate();
  virtual void Repaint();
  virtual bool IsWindowed() const { return false; }
  TPoint ClientToScreen(TPoint p) const;

  // Mouse input in client coordinates, from the window or the parent's router.
  virtual void MouseDown(TMouseButton b, TShiftState s, int x, int y);
  virtual void MouseMove(TShiftState s, int x, int y);
  virtual void MouseUp(TMouseButton b, TShiftState s, int x, int y);
  virtual void Click();
  virtual void DblClick();
  virtual void MouseEnter();
  virtual void MouseLeave();

  // Notifications of the control's state.
  virtual void ColorChanged() { Invalidate(); }
  virtual void EnabledChanged() { Invalidate(); }
  virtual void VisibleChanged() {}
  virtual void TextChanged() { Invalidate(); }

  // Windowless controls draw here, in their own coordinates.
  virtual void Paint(TCanvas& canvas) {}

 protected:
  virtual void BoundsChanged() {}
  void NotifyParentColorChanged();
  bool clicked_ = false;  // a left press began on this control

 private:
  friend class TWinControl;
  TWinControl* parent_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  bool visible_ = true;
  bool enabled_ = true;
  bool parentColor_ = true;
  TColor color_ = clBtnFace;
  std::wstring caption_;
};

// A control without a window, drawn on its parent and fed by its parent's
// mouse router.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TWinControl* parent) : TControl(parent) {}
};

// What window a windowed control is. Each class hands its parameters to the
// constructor of TWinControl, which creates the window at once.
struct TCreateParams {
  const wchar_t* ClassName = nullptr;  // nullptr: the toolkit's own class
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VISIBLE;
  DWORD ExStyle = 0;
  bool DoubleClicks = true;  // own class only: ask for double clicks
  int Width = 0, Height = 0;
};

class TWinControl : public TControl {
 public:
  TWinControl(TWinControl* parent, const TCreateParams& params);
  ~TWinControl() override;

  HWND Handle() const { return hwnd_; }
  bool HandleAllocated() const { return hwnd_ != nullptr; }
  static TWinControl* FromHandle(HWND hwnd);

  void SetBounds(int left, int top, int width, int height) override;
  TRect ClientRect() const override;
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

  // Runs through the control's message handling (used by the window procedure).
  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  void DestroyHandle();
  // The message handler chain. Call the base for messages not handled.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);

  // Command and notification codes the parent window passes back to the control.
  virtual void CommandNotify(WORD code) {}
  virtual LRESULT NotifyNotify(NMHDR* header) { return 0; }
  // Paints windowless children over what the window drew.
  void PaintControls(TCanvas& canvas, const TRect& clip);
  // Whether this window paints its own background and windowless children.
  virtual bool IsContainer() const { return false; }
  virtual void PaintWindow(TCanvas& canvas) {}
  virtual UINT DialogCode(UINT defaultCode) { return defaultCode; }
  virtual void Resized() {}
  virtual void FocusChanged(bool gained);
  virtual void CaptureChanged() {}

 private:
  friend class TControl;
  friend LRESULT CALLBACK ToolkitWindowProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK ToolkitSubclassProc(HWND, UINT, WPARAM, LPARAM);
  void Insert(TControl* c);
  void Remove(TControl* c);
  TControl* ControlAt(int x, int y);
  bool RouteMouse(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMouse(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandlePaint();
  LRESULT HandleCtlColor(WPARAM wParam, LPARAM lParam);
  bool HandleKeyMessage(UINT msg, WPARAM& wParam);

  HWND hwnd_ = nullptr;
  WNDPROC oldProc_ = nullptr;
  bool tabStop_ = false;
  bool ownClass_ = false;
  std::vector<TControl*> controls_;
  TControl* mouseControl_ = nullptr;    // windowless child under the pointer
  TControl* captureControl_ = nullptr;  // windowless child holding the press
  bool trackingLeave_ = false;
  bool mouseInside_ = false;
  std::unique_ptr<TBitmap> backBuffer_;
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

}  // namespace tav
