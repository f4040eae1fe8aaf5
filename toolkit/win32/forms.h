// Forms (top-level windows holding controls) and the application object:
// message loop, ProcessMessages, forms created in order and freed in reverse,
// modal forms and the default exception box.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "toolkit/win32/controls.h"

namespace tav {

class TMainMenu;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
// A borderless form (bsNone) keeps its system menu (Alt+F4 and SC_CLOSE close
// it) when biSystemMenu is among its icons.
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = unsigned;
enum TPosition { poDesigned, poScreenCenter };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;
// A per-form message handler: returns true when it handled the message
// (its Result is then the window's answer).
using TMessageHandler = std::function<bool(TMessage& message)>;
using TDropFilesEvent = std::function<void(TObject* sender, const std::vector<std::wstring>& files)>;

// While it lives, every other enabled, visible top-level window of the
// thread is disabled, the host's too inside a plug-in, as under a modal form;
// they are enabled again when it goes. A plug-in's dialog or message box
// holds one, so the host cannot end the plug-in under it.
class TTaskWindowsDisabled {
 public:
  explicit TTaskWindowsDisabled(HWND except);
  ~TTaskWindowsDisabled();
  TTaskWindowsDisabled(const TTaskWindowsDisabled&) = delete;
  TTaskWindowsDisabled& operator=(const TTaskWindowsDisabled&) = delete;

 private:
  std::vector<HWND> disabled_;
};

class TCustomForm : public TWinControl {
 public:
  // Creates the hidden window. Set the look, place and controls, then show it.
  TCustomForm();
  ~TCustomForm() override;

  // --- look and place ---
  void SetBorderStyle(TFormBorderStyle s);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderIcons(TBorderIcons icons);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetPosition(TPosition p);
  TPosition Position() const { return position_; }
  // Stay on top at run time.
  void SetFormStyle(TFormStyle s);
  TFormStyle FormStyle() const { return formStyle_; }
  // The icon of the window's caption and taskbar button; assigning a picture
  // to it shows it at once.
  TIcon& Icon() { return icon_; }
  void SetIcon(HICON icon);  // shows a copy of the icon
  void SetMenu(TMainMenu* menu);
  TMainMenu* Menu() const { return menu_; }
  // The window that owns this form (the host's window for a plug-in's form).
  void SetOwnerWindow(HWND owner);

  // Snapping: within SnapBuffer pixels of a work-area edge the form moves onto it.
  bool ScreenSnap = false;
  int SnapBuffer = 10;
  // The form's key handler runs before the focused control's.
  bool KeyPreview = false;
  // Windows inside the form that are not the toolkit's (a plug-in's editor)
  // get their keys as they come: no key preview, no dialog navigation, so
  // Tab, the arrows, Enter and Esc reach them.
  bool ForeignChildKeys = false;
  // Dropped files reach OnDropFiles.
  void SetAcceptFiles(bool v);

  // --- showing and closing ---
  void Show();
  void Hide();
  void Close();
  int ShowModal();
  bool Modal() const { return modal_; }
  int ModalResult = mrNone;
  void BringToFront();
  TWinControl* ActiveControl() const;

  // --- events ---
  TNotifyEvent OnCreate, OnShow, OnHide, OnDestroy, OnActivate, OnDeactivate, OnResize, OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TDropFilesEvent OnDropFiles;
  // Handlers for single messages (WM_DROPFILES, WM_USER, ...). The form's own
  // handler of a message is set (or, with none, removed) by SetMessageHandler;
  // others that need the same message (a tray icon wants WM_SHOWWINDOW too)
  // add theirs and remove them by the number they got. The handlers of a
  // message run in the order they were first set or added until one handles it.
  void SetMessageHandler(UINT msg, TMessageHandler handler);
  int AddMessageHandler(UINT msg, TMessageHandler handler);
  void RemoveMessageHandler(int id);

  TCanvas& Canvas() { return paintCanvas_ ? *paintCanvas_ : controlCanvas_; }

  // Runs OnCreate (once, by the application or the creator) and OnDestroy.
  void DoCreate();
  void DoDestroy();

  // The form's part in key handling before the focused control: KeyPreview.
  // Returns true when the key was consumed.
  bool PreviewKey(MSG& msg);
  // Hint tooltips of the form's windowed controls.
  void UpdateHint(TWinControl* control);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool IsContainer() const override { return true; }
  void PaintWindow(TCanvas& canvas) override;
  void VisibleChanged() override;
  void Resized() override;

 private:
  void ApplyStyles();
  void SnapToEdges(WINDOWPOS& pos);
  void CenterOnScreen();

  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = poDesigned;
  TFormStyle formStyle_ = fsNormal;
  TMainMenu* menu_ = nullptr;
  TIcon icon_;
  bool modal_ = false;
  bool created_ = false;
  bool destroyed_ = false;
  bool shownOnce_ = false;
  HWND tooltip_ = nullptr;
  TCanvas* paintCanvas_ = nullptr;
  TControlCanvas controlCanvas_{*this};
  struct HandlerEntry {
    int id;  // 0: the form's own
    TMessageHandler handler;
  };
  std::map<UINT, std::vector<HandlerEntry>> handlers_;
  int nextHandlerId_ = 1;
};

using TForm = TCustomForm;

class TApplication {
 public:
  TApplication();
  ~TApplication();

  std::wstring Title() const;
  void SetTitle(std::wstring_view title) { title_ = title; }

  // Creates a form of type T, keeps it in the creation order and runs its
  // OnCreate. The first form created in the program (not in a library) is the
  // main form. ref is set before OnCreate runs, so handlers can use it.
  template <class T, class... Args>
  T* CreateForm(T*& ref, Args&&... args) {
    auto form = std::make_unique<T>(std::forward<Args>(args)...);
    ref = form.get();
    AddForm(std::move(form));
    ref->DoCreate();
    return ref;
  }
  void AddForm(std::unique_ptr<TCustomForm> form);
  TCustomForm* MainForm() const { return mainForm_; }
  const std::vector<TCustomForm*>& Forms() const { return order_; }

  // Shows the main form and runs the message loop until it closes, then frees
  // every form in reverse order of creation.
  void Run();
  // Handles every waiting message. A WM_QUIT found here is posted again, so
  // the loop that owns it still sees it.
  void ProcessMessages();
  // One message from the queue, dispatched; false when WM_QUIT came.
  bool HandleMessage();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Frees the forms in reverse order of creation; each OnDestroy runs while
  // its window and controls still exist.
  void DestroyForms();

  // The default exception box: the message, the title as caption, stop icon.
  void ShowException(std::exception_ptr e);
  // Replaces the box (tests record exceptions this way); none restores it.
  std::function<void(const std::wstring& message)> OnException;
  int MessageBox(std::wstring_view text, std::wstring_view caption, UINT flags);

  // The message pre-translation every loop runs: form key preview, then
  // dialog navigation. Returns true when the message is used up.
  bool PreTranslate(MSG& msg);
  // The same for a loop of our own: inside a library the message hook has
  // done it already.
  bool LoopPreTranslate(MSG& msg) { return hook_ ? false : PreTranslate(msg); }

  TNotifyEvent OnIdle;

 private:
  friend class TCustomForm;
  void UpdateLibraryHook();
  std::wstring title_;
  std::vector<std::unique_ptr<TCustomForm>> owned_;
  std::vector<TCustomForm*> order_;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  HHOOK hook_ = nullptr;
};

// The module's application object.
TApplication& Application();

}  // namespace tav
