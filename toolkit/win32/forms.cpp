#include "toolkit/win32/forms.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include <commctrl.h>
#include <shellapi.h>

#include "toolkit/win32/menus.h"

namespace tav {

namespace {

int& LiveForms() {
  static int count = 0;
  return count;
}

void InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES |
                                              ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)done;
}

TCreateParams FormParams() {
  InitCommonControlsOnce();
  TCreateParams p;
  p.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  p.ExStyle = WS_EX_CONTROLPARENT;
  p.Left = 100;
  p.Top = 100;
  p.Width = 400;
  p.Height = 300;
  // Secondary forms of the program belong to the main form; a plug-in's
  // forms have no owner unless the plug-in gives one.
  if (!InsideLibrary())
    if (TCustomForm* main = Application().MainForm()) p.Owner = main->Handle();
  return p;
}

bool IsKeyMessage(UINT m) {
  return m == WM_KEYDOWN || m == WM_SYSKEYDOWN || m == WM_KEYUP || m == WM_SYSKEYUP || m == WM_CHAR ||
         m == WM_SYSCHAR;
}

LRESULT CALLBACK LibraryGetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code >= 0 && wParam == PM_REMOVE) {
    MSG* msg = reinterpret_cast<MSG*>(lParam);
    if (msg->message != WM_NULL && Application().PreTranslate(*msg)) {
      msg->message = WM_NULL;
      msg->wParam = 0;
      msg->lParam = 0;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct DisableContext {
  HWND self;
  std::vector<HWND>* list;
};

BOOL CALLBACK CollectEnabled(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<DisableContext*>(lp);
  if (h != c->self && IsWindowVisible(h) && IsWindowEnabled(h)) c->list->push_back(h);
  return TRUE;
}

}  // namespace

void HandleException(std::exception_ptr e) { Application().ShowException(e); }

TTaskWindowsDisabled::TTaskWindowsDisabled(HWND except) {
  DisableContext ctx{except, &disabled_};
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&ctx));
  for (HWND h : disabled_) EnableWindow(h, FALSE);
}

TTaskWindowsDisabled::~TTaskWindowsDisabled() {
  for (HWND h : disabled_)
    if (IsWindow(h)) EnableWindow(h, TRUE);
}

// --- TCustomForm ---------------------------------------------------------------

TCustomForm::TCustomForm() : TWinControl(nullptr, FormParams()) {
  SetColor(clBtnFace);
  icon_.OnChange = [this](TObject*) {
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Handle()));
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.Handle()));
  };
  ++LiveForms();
  if (InsideLibrary()) Application().UpdateLibraryHook();
}

TCustomForm::~TCustomForm() {
  if (tooltip_) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  if (--LiveForms() == 0) Application().UpdateLibraryHook();
}

void TCustomForm::ApplyStyles() {
  DWORD style = GetWindowLongW(Handle(), GWL_STYLE) & (WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_DISABLED);
  DWORD ex = GetWindowLongW(Handle(), GWL_EXSTYLE) & ~(WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE);
  switch (borderStyle_) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog: style |= WS_CAPTION | WS_BORDER; ex |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE; break;
    case bsToolWindow: style |= WS_CAPTION | WS_BORDER; ex |= WS_EX_TOOLWINDOW; break;
    case bsSizeToolWin: style |= WS_CAPTION | WS_THICKFRAME; ex |= WS_EX_TOOLWINDOW; break;
  }
  if (borderIcons_ & biSystemMenu) {
    style |= WS_SYSMENU;
    if (borderStyle_ == bsSingle || borderStyle_ == bsSizeable) {
      if (borderIcons_ & biMinimize) style |= WS_MINIMIZEBOX;
      if (borderIcons_ & biMaximize) style |= WS_MAXIMIZEBOX;
    }
  }
  SetWindowLongW(Handle(), GWL_STYLE, style);
  SetWindowLongW(Handle(), GWL_EXSTYLE, ex);
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle s) {
  borderStyle_ = s;
  ApplyStyles();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  borderIcons_ = icons;
  ApplyStyles();
}

void TCustomForm::SetPosition(TPosition p) {
  position_ = p;
  if (p == poScreenCenter && Visible()) CenterOnScreen();
}

void TCustomForm::CenterOnScreen() {
  const TRect wa = Screen().WorkAreaRect();
  SetBounds(wa.Left + (wa.Width() - Width()) / 2, wa.Top + (wa.Height() - Height()) / 2, Width(), Height());
}

void TCustomForm::SetFormStyle(TFormStyle s) {
  formStyle_ = s;
  SetWindowPos(Handle(), s == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetIcon(HICON icon) { icon_.SetHandle(icon ? CopyIcon(icon) : nullptr); }

void TCustomForm::SetMenu(TMainMenu* menu) {
  menu_ = menu;
  if (menu) menu->Window = Handle();
  const TRect client = ClientRect();
  ::SetMenu(Handle(), menu ? menu->Handle() : nullptr);
  SetClientSize(client.Width(), client.Height());
}

void TCustomForm::SetOwnerWindow(HWND owner) { SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner)); }

void TCustomForm::SetAcceptFiles(bool v) { DragAcceptFiles(Handle(), v); }

void TCustomForm::SetMessageHandler(UINT msg, TMessageHandler handler) {
  auto& list = handlers_[msg];
  auto own = std::find_if(list.begin(), list.end(), [](const HandlerEntry& e) { return e.id == 0; });
  if (!handler) {
    if (own != list.end()) list.erase(own);
  } else if (own != list.end()) {
    own->handler = std::move(handler);
  } else {
    list.push_back({0, std::move(handler)});
  }
  if (list.empty()) handlers_.erase(msg);
}

int TCustomForm::AddMessageHandler(UINT msg, TMessageHandler handler) {
  const int id = nextHandlerId_++;
  handlers_[msg].push_back({id, std::move(handler)});
  return id;
}

void TCustomForm::RemoveMessageHandler(int id) {
  for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
    auto& list = it->second;
    auto e = std::find_if(list.begin(), list.end(), [id](const HandlerEntry& h) { return h.id == id; });
    if (e == list.end()) continue;
    list.erase(e);
    if (list.empty()) handlers_.erase(it);
    return;
  }
}

void TCustomForm::Show() {
  if (!shownOnce_ && position_ == poScreenCenter) CenterOnScreen();
  shownOnce_ = true;
  SetVisible(true);
  BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::BringToFront() {
  if (Visible()) SetForegroundWindow(Handle());
}

void TCustomForm::VisibleChanged() {
  if (formStyle_ == fsStayOnTop && Visible())
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  const bool isMain = Application().MainForm() == this;
  TCloseAction action = isMain ? caFree : caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) {
    if (modal_) ModalResult = mrNone;
    return;
  }
  if (modal_) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return;  // the modal loop hides the form
  }
  if (action == caMinimize) {
    ShowWindow(Handle(), SW_MINIMIZE);
    return;
  }
  if (isMain && action == caFree) {
    Application().Terminate();
    return;
  }
  // Forms live as long as the program, so caFree hides the others.
  Hide();
}

int TCustomForm::ShowModal() {
  if (Visible() || modal_) throw std::logic_error("Cannot make a visible window modal");
  // Every other enabled top-level window of this thread is disabled: the
  // program's own and, inside a plug-in, the host's.
  std::optional<TTaskWindowsDisabled> others(std::in_place, Handle());
  const HWND previousActive = GetActiveWindow();
  modal_ = true;
  ModalResult = mrNone;
  try {
    Show();
    while (ModalResult == mrNone) {
      MSG msg;
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0 || got == -1) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        ModalResult = mrCancel;
        break;
      }
      if (!Application().LoopPreTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      FreeDeviceContexts();
    }
  } catch (...) {
    modal_ = false;
    others.reset();
    throw;
  }
  others.reset();
  if (previousActive && IsWindow(previousActive)) SetActiveWindow(previousActive);
  Hide();
  modal_ = false;
  return ModalResult;
}

TWinControl* TCustomForm::ActiveControl() const {
  HWND f = GetFocus();
  if (!f || (f != Handle() && !IsChild(Handle(), f))) return nullptr;
  return FromHandle(f);
}

void TCustomForm::DoCreate() {
  if (created_) return;
  created_ = true;
  if (OnCreate) GuardedCall([&] { OnCreate(this); });
}

void TCustomForm::DoDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (OnDestroy) GuardedCall([&] { OnDestroy(this); });
}

bool TCustomForm::PreviewKey(MSG& msg) {
  if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
    wchar_t ch = static_cast<wchar_t>(msg.wParam);
    KeyPress(ch);
    msg.wParam = ch;
    return ch == 0;
  }
  WORD key = static_cast<WORD>(msg.wParam);
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)
    KeyDown(key, KeyboardShift());
  else
    KeyUp(key, KeyboardShift());
  msg.wParam = key;
  return key == 0;
}

void TCustomForm::UpdateHint(TWinControl* control) {
  if (!control->Handle()) return;
  if (!tooltip_) {
    // Not created topmost: the tip raises itself when it shows, and a
    // topmost window owned by the form would keep the form from being made
    // topmost at run time.
    tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0,
                               0, 0, 0, Handle(), nullptr, ModuleInstance(), nullptr);
    if (!tooltip_) return;
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 400);
  }
  std::wstring text = control->Hint();
  TOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = Handle();
  ti.uId = reinterpret_cast<UINT_PTR>(control->Handle());
  ti.lpszText = text.data();
  SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  if (control->ShowHint() && !text.empty()) SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TCustomForm::PaintWindow(TCanvas& canvas) {
  if (!OnPaint) return;
  paintCanvas_ = &canvas;
  try {
    OnPaint(this);
  } catch (...) {
    paintCanvas_ = nullptr;
    throw;
  }
  paintCanvas_ = nullptr;
}

void TCustomForm::Resized() {
  if (OnResize) OnResize(this);
}

void TCustomForm::SnapToEdges(WINDOWPOS& pos) {
  if (pos.flags & SWP_NOMOVE) return;
  const TRect wa = Screen().WorkAreaRect();
  int w = pos.cx, h = pos.cy;
  if (pos.flags & SWP_NOSIZE) w = Width(), h = Height();
  if (std::abs(pos.x - wa.Left) < SnapBuffer) pos.x = wa.Left;
  else if (std::abs(pos.x + w - wa.Right) < SnapBuffer) pos.x = wa.Right - w;
  if (std::abs(pos.y - wa.Top) < SnapBuffer) pos.y = wa.Top;
  else if (std::abs(pos.y + h - wa.Bottom) < SnapBuffer) pos.y = wa.Bottom - h;
}

LRESULT TCustomForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (auto it = handlers_.find(msg); it != handlers_.end()) {
    // A copy runs: a handler may add or remove handlers of this message.
    const std::vector<HandlerEntry> list = it->second;
    for (const auto& e : list) {
      TMessage m{msg, wParam, lParam, 0};
      if (e.handler(m)) return m.Result;
    }
  }
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SHOWWINDOW:
      if (lParam == 0) {
        if (wParam && OnShow) GuardedCall([&] { OnShow(this); });
        if (!wParam && OnHide) GuardedCall([&] { OnHide(this); });
      }
      break;
    case WM_DROPFILES: {
      auto drop = reinterpret_cast<HDROP>(wParam);
      std::vector<std::wstring> files;
      const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < n; ++i) {
        std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
        files.push_back(std::move(name));
      }
      DragFinish(drop);
      if (OnDropFiles) OnDropFiles(this, files);
      return 0;
    }
    case WM_WINDOWPOSCHANGING:
      if (ScreenSnap) SnapToEdges(*reinterpret_cast<WINDOWPOS*>(lParam));
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        if (OnDeactivate) OnDeactivate(this);
      } else {
        if (OnActivate) OnActivate(this);
        // Give the focus to the first control that takes it when the form
        // itself would get it.
        if (!ActiveControl() || GetFocus() == Handle()) {
          if (HWND first = GetNextDlgTabItem(Handle(), nullptr, FALSE)) {
            ::SetFocus(first);
            return 0;
          }
        }
      }
      break;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

// --- TApplication --------------------------------------------------------------

TApplication::TApplication() = default;

TApplication::~TApplication() {
  if (hook_) UnhookWindowsHookEx(hook_);
}

TApplication& Application() {
  static TApplication app;
  return app;
}

std::wstring TApplication::Title() const {
  if (!title_.empty()) return title_;
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
  std::wstring name(path, n);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  return name.substr(0, name.find_last_of(L'.'));
}

void TApplication::AddForm(std::unique_ptr<TCustomForm> form) {
  if (!mainForm_ && !InsideLibrary()) mainForm_ = form.get();
  order_.push_back(form.get());
  owned_.push_back(std::move(form));
}

void TApplication::UpdateLibraryHook() {
  // Inside a plug-in the host's loop runs: our key handling and dialog
  // navigation hook into the thread's message retrieval while forms live.
  if (LiveForms() > 0 && !hook_)
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, LibraryGetMessageHook, nullptr, GetCurrentThreadId());
  else if (LiveForms() == 0 && hook_) {
    UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
  }
}

bool TApplication::PreTranslate(MSG& msg) {
  // Only keys are previewed: the timers' and painting's many messages pass
  // without a look at the window tree.
  if (!msg.hwnd || !IsKeyMessage(msg.message)) return false;
  TWinControl* target = TWinControl::FromHandle(msg.hwnd);
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  auto* form = dynamic_cast<TCustomForm*>(TWinControl::FromHandle(root));
  if (!form) return false;
  if (form->ForeignChildKeys && !target && msg.hwnd != root) return false;
  if (form->KeyPreview && target != form) {
    if (GuardedCall([&] { return form->PreviewKey(msg); })) return true;
  }
  return IsDialogMessageW(root, &msg) != FALSE;
}

bool TApplication::HandleMessage() {
  MSG msg;
  if (OnIdle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) GuardedCall([&] { OnIdle(nullptr); });
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    terminated_ = true;
    return false;
  }
  if (!LoopPreTranslate(msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  FreeDeviceContexts();
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (!LoopPreTranslate(msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    FreeDeviceContexts();
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::Run() {
  if (mainForm_ && !mainForm_->Visible()) mainForm_->Show();
  while (HandleMessage()) {
  }
  DestroyForms();
}

void TApplication::DestroyForms() {
  while (!owned_.empty()) {
    owned_.back()->DoDestroy();
    owned_.pop_back();
  }
  order_.clear();
  mainForm_ = nullptr;
}

void TApplication::ShowException(std::exception_ptr e) {
  const std::wstring text = ExceptionMessage(e);
  if (OnException) {
    OnException(text);
    return;
  }
  HWND owner = GetActiveWindow();
  // Inside a plug-in the box holds the host's windows as a modal form does:
  // a host that ended the plug-in under it would unload the code it returns into.
  std::optional<TTaskWindowsDisabled> host;
  if (InsideLibrary()) host.emplace(owner);
  ::MessageBoxW(owner, text.c_str(), Title().c_str(), MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(std::wstring_view text, std::wstring_view caption, UINT flags) {
  const std::wstring t(text), c(caption);
  return ::MessageBoxW(GetActiveWindow(), t.c_str(), c.c_str(), flags);
}

}  // namespace tav
