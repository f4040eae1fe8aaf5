// The toolkit's forms and controls on a real window system (Wine under an X
// server): event order, the exception box, the message loop, modal forms,
// drawing, and a screenshot of a form with one of every control kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "controls/win32/slider.h"
#include "gui_test_support.h"
#include <commctrl.h>
#include <shlobj.h>

#include "toolkit/win32/comctrls.h"
#include "toolkit/win32/dialogs.h"
#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/menus.h"
#include "toolkit/win32/module_windows.h"
#include "toolkit/win32/stdctrls.h"
#include "toolkit/win32/streams.h"
#include "tav/test/icon_image.h"
#include "tav/test/win32_process.h"

namespace tav {
namespace {

using test::Pump;
using test::PumpUntil;

std::vector<std::string> Log;

void Note(const std::string& s) { Log.push_back(s); }

TNotifyEvent Logs(const std::string& what) {
  return [what](TObject*) { Note(what); };
}

// One of every control kind, with the player's kind of texts.
class AllControlsForm : public TForm {
 public:
  TPanel panel{this};
  TLabel title{&panel, L"小型可调速音乐播放器"};
  TLabel label{this, L"采样率: 44100 Hz"};
  TButton play{this, L"播放"};
  TButton stop{this, L"停止"};
  TCheckBox loop{this, L"单曲循环"};
  TRadioButton radioA{this, L"正常"};
  TRadioButton radioB{this, L"倒放"};
  TEdit edit{this};
  TMemo memo{this};
  TComboBox combo{this, csDropDownList};
  TListBox list{this};
  TListView view{this};
  TPageControl pages{this};
  TTabSheet pageEq{&pages, L"均衡器"};
  TTabSheet pageDsp{&pages, L"DSP 插件"};
  TGroupBox group{&pageEq, L"效果"};
  TCheckBox flanger{&group, L"镶边"};
  TProgressBar progress{this};
  TImage image{this};
  TPaintBox paint{this};
  TSlider hslider{this};
  TSlider vslider{this};
  TMainMenu menu;
  TPopupMenu popup;

  AllControlsForm() {
    SetCaption(L"Tavolen V1.5 工具包测试");
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetBounds(20, 20, 100, 100);
    SetClientSize(560, 400);
    panel.SetBounds(8, 8, 200, 24);
    panel.BevelOuter = bvLowered;
    title.SetLeft(4);
    title.SetTop(5);
    label.SetBounds(220, 12, 10, 10);
    play.SetBounds(8, 40, 60, 24);
    play.SetHint(L"播放或暂停");
    play.SetShowHint(true);
    stop.SetBounds(72, 40, 60, 24);
    loop.SetBounds(140, 42, 90, 20);
    radioA.SetBounds(236, 42, 60, 20);
    radioB.SetBounds(300, 42, 60, 20);
    edit.SetBounds(8, 72, 150, 22);
    edit.SetText(L"http://例子.cn/流");
    memo.SetBounds(8, 100, 150, 60);
    memo.SetLines({L"第一行", L"第二行"});
    combo.SetBounds(170, 72, 150, 22);
    combo.SetItems({L"低", L"中", L"高"});
    combo.SetItemIndex(1);
    list.SetBounds(170, 100, 150, 60);
    list.SetItems({L"001-歌曲一.mp3", L"002-歌曲二.ogg"});
    view.SetBounds(330, 72, 220, 88);
    view.AddColumn(L"参数", 100);
    view.AddColumn(L"数值", 100);
    view.AddItem(L"增益", {L"0.5"});
    pages.SetBounds(8, 170, 300, 120);
    group.SetBounds(8, 8, 150, 60);
    flanger.SetBounds(10, 20, 80, 20);
    progress.SetBounds(8, 300, 300, 16);
    progress.SetPosition(40);
    image.SetBounds(320, 170, 32, 32);
    image.Picture().SetSize(32, 32);
    image.Picture().Canvas().Brush.SetColor(clRed);
    image.Picture().Canvas().FillRect({0, 0, 32, 32});
    paint.SetBounds(360, 170, 60, 32);
    paint.OnPaint = [this](TObject*) {
      paint.Canvas().Brush.SetColor(clNavy);
      paint.Canvas().FillRect({0, 0, paint.Width(), paint.Height()});
    };
    hslider.SetBounds(320, 220, 200, 40);
    vslider.SetOrientation(soVertical);
    vslider.SetBounds(520, 170, 30, 150);
    menu.Items.Add(L"文件")->Add(L"打开...");
    SetMenu(&menu);
    popup.Items.Add(L"快速打开音频文件...");
    PopupMenu = &popup;
  }
};

class ToolkitWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    Log.clear();
    Application().SetTitle(L"Tavolen");
    Application().OnException = [](const std::wstring& m) { Note("exception " + Narrow(m)); };
  }
  void TearDown() override { Application().OnException = nullptr; }
};

void PostKey(HWND to, UINT msg, WPARAM key) { PostMessageW(to, msg, key, msg == WM_CHAR ? 1 : 1); }

TEST_F(ToolkitWindows, KeyAndClickEventsFireInOrder) {
  AllControlsForm f;
  f.KeyPreview = true;
  f.Show();
  f.OnKeyDown = [](TObject*, WORD& key, TShiftState) {
    Note("form.KeyDown " + std::to_string(key));
    if (key == VK_F3) key = 0;  // the form eats F3
  };
  f.OnKeyPress = [](TObject*, wchar_t& c) { Note(std::string("form.KeyPress ") + char(c)); };
  f.OnKeyUp = [](TObject*, WORD& key, TShiftState) { Note("form.KeyUp " + std::to_string(key)); };
  f.edit.OnKeyDown = [](TObject*, WORD& key, TShiftState) {
    Note("edit.KeyDown " + std::to_string(key));
    if (key == VK_F10) key = 0;  // no menu mode in a test
  };
  f.edit.OnKeyPress = [](TObject*, wchar_t& c) { Note(std::string("edit.KeyPress ") + char(c)); };
  f.edit.OnKeyUp = [](TObject*, WORD& key, TShiftState) { Note("edit.KeyUp " + std::to_string(key)); };
  f.play.OnClick = Logs("play.Click");
  f.loop.OnClick = Logs("loop.Click");
  f.radioA.OnClick = Logs("radioA.Click");
  f.radioB.OnClick = Logs("radioB.Click");
  f.radioB.OnDblClick = Logs("radioB.DblClick");
  f.label.OnMouseDown = [](TObject*, TMouseButton, TShiftState, int x, int y) { Note("label.MouseDown"); };
  f.label.OnMouseUp = [](TObject*, TMouseButton, TShiftState, int, int) { Note("label.MouseUp"); };
  f.label.OnClick = Logs("label.Click");
  f.edit.SetFocus();
  Pump(50);

  struct Case {
    const char* what;
    std::function<void()> act;
    std::vector<std::string> expected;
  } cases[] = {
      {"key down on the focused edit: form first",
       [&] { PostKey(f.edit.Handle(), WM_KEYDOWN, VK_F2); },
       {"form.KeyDown 113", "edit.KeyDown 113"}},
      {"a key the form consumes never reaches the edit",
       [&] { PostKey(f.edit.Handle(), WM_KEYDOWN, VK_F3); },
       {"form.KeyDown 114"}},
      {"system keys reach OnKeyDown",
       [&] { PostKey(f.edit.Handle(), WM_SYSKEYDOWN, VK_F10); },
       {"form.KeyDown 121", "edit.KeyDown 121"}},
      {"characters", [&] { PostKey(f.edit.Handle(), WM_CHAR, L'x'); }, {"form.KeyPress x", "edit.KeyPress x"}},
      {"key up", [&] { PostKey(f.edit.Handle(), WM_KEYUP, VK_F2); }, {"form.KeyUp 113", "edit.KeyUp 113"}},
      {"button click", [&] { PostMessageW(f.play.Handle(), BM_CLICK, 0, 0); }, {"play.Click"}},
      {"check box clicked by the user",
       [&] { PostMessageW(f.loop.Handle(), BM_CLICK, 0, 0); },
       {"loop.Click"}},
      {"Checked set from code to the same state: nothing", [&] { f.loop.SetChecked(true); }, {}},
      {"Checked set from code to a new state", [&] { f.loop.SetChecked(false); }, {"loop.Click"}},
      {"radio buttons: checking one unchecks the other",
       [&] {
         f.radioA.SetChecked(true);
         f.radioB.SetChecked(true);
       },
       {"radioA.Click", "radioB.Click"}},
      {"radio double click",
       [&] {
         PostMessageW(f.radioB.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
         PostMessageW(f.radioB.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
       },
       {"radioB.DblClick"}},
      {"windowless label: press, click, release",
       [&] {
         const LPARAM at = MAKELPARAM(f.label.Left() + 3, f.label.Top() + 3);
         PostMessageW(f.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
         PostMessageW(f.Handle(), WM_LBUTTONUP, 0, at);
       },
       {"label.MouseDown", "label.Click", "label.MouseUp"}},
  };
  for (auto& c : cases) {
    Log.clear();
    c.act();
    Pump(60);
    EXPECT_EQ(Log, c.expected) << c.what;
  }
  EXPECT_TRUE(f.loop.Checked() == false);
  EXPECT_FALSE(f.radioA.Checked());
  EXPECT_TRUE(f.radioB.Checked());
}

TEST_F(ToolkitWindows, FormShowCloseAndDestroyEvents) {
  auto f = std::make_unique<AllControlsForm>();
  HWND edit = f->edit.Handle();
  f->OnShow = Logs("OnShow");
  f->OnHide = Logs("OnHide");
  f->OnClose = [](TObject*, TCloseAction& a) { Note(a == caHide ? "OnClose caHide" : "OnClose other"); };
  f->OnDestroy = [&](TObject*) {
    Note(std::string("OnDestroy window ") + (IsWindow(f->Handle()) ? "alive" : "gone") + " controls " +
         (IsWindow(edit) && f->edit.Text() == L"http://例子.cn/流" ? "alive" : "gone"));
  };
  f->Show();
  Pump(30);
  f->Close();
  Pump(30);
  EXPECT_FALSE(IsWindowVisible(f->Handle()));
  f->DoDestroy();
  f.reset();
  EXPECT_FALSE(IsWindow(edit));
  EXPECT_EQ(Log, (std::vector<std::string>{"OnShow", "OnClose caHide", "OnHide", "OnDestroy window alive controls alive"}));
}

TEST_F(ToolkitWindows, ApplicationFreesFormsInReverseOrder) {
  struct Named : TForm {
    explicit Named(std::string n) {
      OnCreate = [n](TObject*) { Note("create " + n); };
      OnDestroy = [this, n](TObject*) { Note("destroy " + n + (IsWindow(Handle()) ? " (window alive)" : "")); };
    }
  };
  Named *a, *b, *c;
  Application().CreateForm(a, "main");
  Application().CreateForm(b, "effects");
  Application().CreateForm(c, "list");
  EXPECT_EQ(Application().MainForm(), a);
  // Secondary forms belong to the main form.
  EXPECT_EQ(GetWindow(b->Handle(), GW_OWNER), a->Handle());
  Application().DestroyForms();
  EXPECT_EQ(Log, (std::vector<std::string>{"create main", "create effects", "create list",
                                           "destroy list (window alive)", "destroy effects (window alive)",
                                           "destroy main (window alive)"}));
}

TEST_F(ToolkitWindows, HandlerExceptionShowsTheBoxAndTheProgramGoesOn) {
  Application().OnException = nullptr;  // the real box
  AllControlsForm f;
  f.Show();
  f.play.OnClick = [](TObject*) { throw std::runtime_error("文件打不开"); };
  f.stop.OnClick = Logs("stop.Click");
  {
    test::BoxWatcher boxes;
    PostMessageW(f.play.Handle(), BM_CLICK, 0, 0);
    ASSERT_LE(PumpUntil([&] { return boxes.Waiting() > 0; }, 8000), 8000);
    Pump(50);
    const auto seen = boxes.Take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, L"Tavolen");
    EXPECT_EQ(seen[0].text, L"文件打不开");
    EXPECT_TRUE(seen[0].stopIcon);
  }
  PostMessageW(f.stop.Handle(), BM_CLICK, 0, 0);
  Pump(50);
  EXPECT_EQ(Log, std::vector<std::string>{"stop.Click"});
  // Exceptions from timers and paint handlers take the same way.
  Application().OnException = [](const std::wstring& m) { Note("exception " + Narrow(m)); };
  TTimer t;
  t.SetInterval(10);
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    throw std::runtime_error("timer");
  };
  f.paint.OnPaint = [](TObject*) { throw std::runtime_error("paint"); };
  f.paint.Invalidate();
  Pump(100);
  EXPECT_NE(std::find(Log.begin(), Log.end(), "exception timer"), Log.end());
  EXPECT_NE(std::find(Log.begin(), Log.end(), "exception paint"), Log.end());
}

TEST_F(ToolkitWindows, ProcessMessagesSurvivesQuit) {
  AllControlsForm f;
  f.play.OnClick = Logs("play.Click");
  PostMessageW(f.play.Handle(), BM_CLICK, 0, 0);
  PostQuitMessage(7);
  Application().ProcessMessages();
  EXPECT_EQ(Log, std::vector<std::string>{"play.Click"});
  // The quit message is still there for the loop that owns it.
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 7u);
}

TEST_F(ToolkitWindows, ModalFormDisablesTheOthers) {
  AllControlsForm main;
  main.Show();
  TForm other;
  other.Show();
  TForm modal;
  modal.SetCaption(L"关于");
  modal.SetPosition(poScreenCenter);
  TButton ok(&modal, L"确定");
  ok.ModalResult = mrOk;
  bool othersDisabled = false, modalEnabled = false;
  TTimer t;
  t.SetInterval(50);
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    othersDisabled = !IsWindowEnabled(main.Handle()) && !IsWindowEnabled(other.Handle());
    modalEnabled = IsWindowEnabled(modal.Handle()) != FALSE;
    SendMessageW(ok.Handle(), BM_CLICK, 0, 0);
  };
  EXPECT_EQ(modal.ShowModal(), mrOk);
  EXPECT_TRUE(othersDisabled);
  EXPECT_TRUE(modalEnabled);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));
  EXPECT_FALSE(modal.Visible());

  // Closing the modal form answers mrCancel; a quit message ends it too and
  // stays for the outer loop.
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    PostMessageW(modal.Handle(), WM_CLOSE, 0, 0);
  };
  t.SetEnabled(true);
  EXPECT_EQ(modal.ShowModal(), mrCancel);
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    PostQuitMessage(3);
  };
  t.SetEnabled(true);
  EXPECT_EQ(modal.ShowModal(), mrCancel);
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 3u);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
}

TEST_F(ToolkitWindows, ControlPropertiesAndMessageHandlers) {
  AllControlsForm f;
  f.Show();
  // List box as the play list: an index out of range selects nothing.
  f.list.SetItemIndex(1);
  EXPECT_EQ(f.list.ItemIndex(), 1);
  f.list.SetItemIndex(5);
  EXPECT_EQ(f.list.ItemIndex(), -1);
  f.list.SetItemIndex(-3);
  EXPECT_EQ(f.list.ItemIndex(), -1);
  // Sorted combo box.
  f.combo.SetSorted(true);
  f.combo.Add(L"a");
  f.combo.Add(L"c");
  f.combo.Add(L"b");
  const auto items = f.combo.Items();
  EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), [](auto& x, auto& y) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.c_str(), -1, y.c_str(), -1) == CSTR_LESS_THAN;
  }));
  // Edit limits.
  f.edit.SetMaxLength(4);
  f.edit.SetText(L"");
  SendMessageW(f.edit.Handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"123456"));
  EXPECT_EQ(f.edit.Text(), L"1234");
  f.edit.SetReadOnly(true);
  EXPECT_TRUE(GetWindowLongW(f.edit.Handle(), GWL_STYLE) & ES_READONLY);
  // Pages.
  f.pages.SetActivePageIndex(1);
  EXPECT_FALSE(f.pageEq.Visible());
  EXPECT_TRUE(f.pageDsp.Visible());
  // The button's hint is a tooltip of the form.
  HWND tip = nullptr;
  for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (GetWindow(w, GW_OWNER) == f.Handle() && std::wstring(cls) == TOOLTIPS_CLASSW) tip = w;
  }
  ASSERT_TRUE(tip);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  f.play.SetShowHint(false);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);
  // Client size, caption and colour.
  EXPECT_EQ(f.ClientWidth(), 560);
  wchar_t caption[64] = {};
  GetWindowTextW(f.Handle(), caption, 64);
  EXPECT_STREQ(caption, L"Tavolen V1.5 工具包测试");
  f.SetColor(cl3DDkShadow);
  EXPECT_EQ(f.label.Color(), cl3DDkShadow);
  EXPECT_EQ(ColorToRGB(f.label.Color()), GetSysColor(COLOR_3DDKSHADOW));
  // A per-form message handler answers WM_USER.
  f.SetMessageHandler(WM_USER, [](TMessage& m) {
    m.Result = m.LParam == 105 ? 0 : 42;
    return true;
  });
  EXPECT_EQ(SendMessageW(f.Handle(), WM_USER, 0, 106), 42);
  EXPECT_EQ(SendMessageW(f.Handle(), WM_USER, 0, 105), 0);
  // Stay on top at run time. (A form holding a drop-down combo box is left
  // out here: under Wine its topmost list, owned by the form, takes the
  // form's place in the order.)
  TForm top;
  top.Show();
  top.SetFormStyle(fsStayOnTop);
  EXPECT_TRUE(GetWindowLongW(top.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  top.SetFormStyle(fsNormal);
  EXPECT_FALSE(GetWindowLongW(top.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  // Menus: run-time items, checks, commands.
  TMenuItem* file = f.menu.Items.Items(0);
  int opened = 0;
  TMenuItem* recent = file->Add(L"最近的文件", [&](TObject*) { ++opened; });
  recent->SetChecked(true);
  EXPECT_EQ(GetMenuState(file->SubMenuHandle(), recent->Command(), MF_BYCOMMAND) & MF_CHECKED, UINT(MF_CHECKED));
  PostMessageW(f.Handle(), WM_COMMAND, recent->Command(), 0);
  Pump(30);
  EXPECT_EQ(opened, 1);
  // Dropped files reach OnDropFiles, in order.
  std::vector<std::wstring> dropped;
  f.SetAcceptFiles(true);
  f.OnDropFiles = [&](TObject*, const std::vector<std::wstring>& files) { dropped = files; };
  const std::wstring names = std::wstring(L"C:\\音乐\\一.mp3") + L'\0' + L"D:\\二.ogg" + L'\0' + L'\0';
  HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(mem));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
  GlobalUnlock(mem);
  PostMessageW(f.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
  Pump(30);
  EXPECT_EQ(dropped, (std::vector<std::wstring>{L"C:\\音乐\\一.mp3", L"D:\\二.ogg"}));
  // Snapping to the screen edges.
  f.ScreenSnap = true;
  f.SetBounds(6, 7, f.Width(), f.Height());
  RECT wa;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
  EXPECT_EQ(f.Left(), wa.left);
  EXPECT_EQ(f.Top(), wa.top);
}

TEST_F(ToolkitWindows, ClassLeftUnderOurInstanceIsReplacedAndGoesWithTheLastWindow) {
  // What a copy of the toolkit at this address that never unregistered
  // would have left: the class name under our instance, another procedure.
  ASSERT_EQ(ModuleWindowCount(), 0u);
  WNDCLASSEXW stale{};
  stale.cbSize = sizeof(stale);
  stale.lpfnWndProc = DefWindowProcW;
  stale.hInstance = ModuleInstance();
  stale.lpszClassName = kToolkitWindowClass;
  ASSERT_TRUE(RegisterClassExW(&stale));
  {
    TForm f;
    WNDCLASSEXW now{};
    now.cbSize = sizeof(now);
    ASSERT_TRUE(GetClassInfoExW(ModuleInstance(), kToolkitWindowClass, &now));
    EXPECT_NE(now.lpfnWndProc, &DefWindowProcW);
    f.SetMessageHandler(WM_USER, [](TMessage& m) {
      m.Result = 7;
      return true;
    });
    EXPECT_EQ(SendMessageW(f.Handle(), WM_USER, 0, 0), 7);  // the form's own procedure runs
  }
  WNDCLASSEXW gone{};
  gone.cbSize = sizeof(gone);
  EXPECT_FALSE(GetClassInfoExW(ModuleInstance(), kToolkitWindowClass, &gone));
}

TEST_F(ToolkitWindows, BorderlessFormWithSystemMenuClosesOnScClose) {
  TForm f;
  f.SetBorderStyle(bsNone);
  f.SetBorderIcons(biSystemMenu);
  f.SetBounds(200, 200, 120, 60);
  const LONG style = GetWindowLongW(f.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_THICKFRAME);
  f.OnClose = [](TObject*, TCloseAction&) { Note("close"); };
  f.Show();
  SendMessageW(f.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(Log, std::vector<std::string>{"close"});
  EXPECT_FALSE(f.Visible());
  // Without the icon the borderless form has no system menu.
  f.SetBorderIcons(0);
  EXPECT_FALSE(GetWindowLongW(f.Handle(), GWL_STYLE) & WS_SYSMENU);
}

TEST_F(ToolkitWindows, SeveralHandlersOfOneMessageRunInOrder) {
  TForm f;
  f.OnShow = Logs("OnShow");
  const int tray = f.AddMessageHandler(WM_SHOWWINDOW, [](TMessage& m) {
    Note("tray " + std::to_string(m.WParam));
    return false;  // the form's own handling goes on
  });
  f.SetMessageHandler(WM_SHOWWINDOW, [](TMessage&) {
    Note("form");
    return false;
  });
  f.Show();
  EXPECT_EQ(Log, (std::vector<std::string>{"tray 1", "form", "OnShow"}));
  // The first handler that handles a message answers it; the rest do not run.
  f.AddMessageHandler(WM_USER, [](TMessage& m) {
    m.Result = 5;
    return true;
  });
  f.AddMessageHandler(WM_USER, [](TMessage&) {
    Note("never");
    return true;
  });
  EXPECT_EQ(SendMessageW(f.Handle(), WM_USER, 0, 0), 5);
  // A removed handler runs no more; replacing the form's own keeps its place.
  Log.clear();
  f.RemoveMessageHandler(tray);
  f.SetMessageHandler(WM_SHOWWINDOW, [](TMessage&) {
    Note("form again");
    return false;
  });
  f.Hide();
  f.Show();
  EXPECT_EQ(Log, (std::vector<std::string>{"form again", "form again", "OnShow"}));
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "never"), 0);
}

TEST_F(ToolkitWindows, PopupFromAUtilityWindowRunsTheChosenItemAndClosesOnCancelMode) {
  TPopupMenu menu;
  menu.Items.Add(L"显示窗口", Logs("show window"));
  menu.Items.Add(L"退出", Logs("quit"));
  menu.OnPopup = Logs("OnPopup");
  HWND owner = nullptr;
  // As a tray icon's notification reaches its hidden window.
  TUtilityWindow notify([&](TMessage& m) {
    if (m.Msg != WM_USER + 0x400) return false;
    menu.Popup(100, 100, owner);
    MSG queued;
    if (PeekMessageW(&queued, owner, WM_NULL, WM_NULL, PM_NOREMOVE)) Note("WM_NULL posted");
    Note("closed");
    return true;
  });
  owner = notify.Handle();
  // While the menu is open a timer drives it: the keys reach the menu's own loop.
  TTimer t;
  t.SetInterval(100);
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    PostMessageW(owner, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(owner, WM_KEYDOWN, VK_RETURN, 0);
  };
  PostMessageW(owner, WM_USER + 0x400, 0, WM_RBUTTONDOWN);
  ASSERT_LE(PumpUntil([] { return std::count(Log.begin(), Log.end(), "closed") == 1; }, 5000), 5000);
  EXPECT_EQ(Log, (std::vector<std::string>{"OnPopup", "show window", "WM_NULL posted", "closed"}));
  // WM_CANCELMODE to the owner closes the menu with no item run.
  Log.clear();
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    SendMessageW(owner, WM_CANCELMODE, 0, 0);
  };
  t.SetEnabled(true);
  PostMessageW(owner, WM_USER + 0x400, 0, WM_RBUTTONDOWN);
  ASSERT_LE(PumpUntil([] { return std::count(Log.begin(), Log.end(), "closed") == 1; }, 5000), 5000);
  EXPECT_EQ(Log, (std::vector<std::string>{"OnPopup", "WM_NULL posted", "closed"}));
}

// A right click (the button pressed and released, as the mouse sends them)
// over a windowless control opens its own menu, else its container's, as
// over the bare window: the release reaches the default handler, which
// answers it with WM_CONTEXTMENU.
TEST_F(ToolkitWindows, ARightClickOverAWindowlessControlOpensTheMenu) {
  AllControlsForm f;
  TPopupMenu imageMenu;
  imageMenu.Items.Add(L"图片");
  f.image.PopupMenu = &imageMenu;
  for (TPopupMenu* m : {&f.popup, &imageMenu})
    m->OnPopup = [m, &imageMenu](TObject*) {
      Note(m == &imageMenu ? "image menu" : "form menu");
      test::CloseMenuSoon();
    };
  f.label.OnMouseUp = [](TObject*, TMouseButton b, TShiftState, int, int) {
    if (b == mbRight) Note("label.MouseUp");
  };
  f.Show();
  Pump(50);
  struct Case {
    const char* what;
    HWND window;
    TControl* control;
    std::vector<std::string> expected;
  } cases[] = {
      {"a label without a menu: the form's", f.Handle(), &f.label, {"label.MouseUp", "form menu"}},
      {"a paint box", f.Handle(), &f.paint, {"form menu"}},
      {"an image with a menu of its own", f.Handle(), &f.image, {"image menu"}},
      {"a label inside a panel: up through the panel", f.panel.Handle(), &f.title, {"form menu"}},
  };
  for (const Case& c : cases) {
    Log.clear();
    const LPARAM at = MAKELPARAM(c.control->Left() + 3, c.control->Top() + 3);
    PostMessageW(c.window, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageW(c.window, WM_RBUTTONUP, 0, at);
    PumpUntil([&] { return Log.size() >= c.expected.size(); }, 2000);
    Pump(100);
    EXPECT_EQ(Log, c.expected) << c.what;
  }
}

TEST_F(ToolkitWindows, IconsFromFilesAndResourcesOwnTheirHandles) {
  test::TempFolder folder(L"icons");
  auto write = [&](const std::wstring& name, const std::vector<uint8_t>& bytes) {
    const std::wstring path = (folder.path() / name).wstring();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return path;
  };
  const std::wstring good = write(L"托盘.ico", test::MakeIconFile({{16, 0xFF0000FF}, {32, 0xFFFF0000}}));
  TIcon icon;
  int changes = 0;
  icon.OnChange = [&](TObject*) { ++changes; };
  icon.LoadFromFile(good);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(icon.Width(), 16);  // the first picture
  TBitmap shot(16, 16);
  DrawIconEx(shot.Canvas().Handle(), 0, 0, icon.Handle(), 16, 16, 0, nullptr, DI_NORMAL);
  GdiFlush();
  EXPECT_EQ(shot.Pixels().ColorAt(8, 8), clBlue);
  icon.LoadFromFile(good, 32);
  EXPECT_EQ(icon.Width(), 32);
  // A copy has a handle of its own and outlives the original.
  auto copy = std::make_unique<TIcon>(icon);
  EXPECT_NE(copy->Handle(), icon.Handle());
  EXPECT_EQ(copy->Height(), 32);
  // The form shows the picture assigned to its icon.
  TForm f;
  f.Icon() = *copy;
  copy.reset();
  EXPECT_NE(SendMessageW(f.Handle(), WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(f.Icon().Width(), 32);
  // Text under an icon's name and a missing file raise errors the caller can
  // catch; the icon keeps its picture.
  const std::string text = "[Brindle Vardo 03]\r\nicon=托盘.ico\r\n";
  const std::wstring fake = write(L"不是图标.ico", {text.begin(), text.end()});
  const HICON kept = icon.Handle();
  EXPECT_THROW(icon.LoadFromFile(fake), EInvalidGraphic);
  EXPECT_THROW(icon.LoadFromFile((folder.path() / L"无.ico").wstring()), EFOpenError);
  EXPECT_EQ(icon.Handle(), kept);
  // From resources: the system's own icons, and a name that is none.
  TIcon app;
  EXPECT_TRUE(app.LoadFromResourceName(nullptr, IDI_APPLICATION, 16));
  EXPECT_EQ(app.Width(), 16);
  EXPECT_FALSE(app.LoadFromResourceName(ModuleInstance(), L"NOSUCHICON"));
  EXPECT_FALSE(app.Empty());
}

TEST_F(ToolkitWindows, ScreenFacts) {
  EXPECT_EQ(Screen().PixelsPerInch(), 96);
  const TRect desktop = Screen().DesktopRect(), work = Screen().WorkAreaRect();
  EXPECT_EQ(desktop.Width(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(desktop.Height(), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  EXPECT_FALSE(work.IsEmpty());
  EXPECT_TRUE(work.Left >= desktop.Left && work.Top >= desktop.Top && work.Right <= desktop.Right &&
              work.Bottom <= desktop.Bottom);
}

TEST_F(ToolkitWindows, ComboBoxDropsDownWhenTypingStarts) {
  TForm f;
  f.SetBounds(100, 100, 300, 200);
  TComboBox presets(&f, csDropDownList);
  presets.SetBounds(10, 10, 200, 21);
  presets.AutoDropDown = true;
  presets.SetSorted(true);
  presets.OnDropDown = [&](TObject*) {
    Note("drop down");
    presets.SetItems({L"gamma", L"alpha", L"beta"});
  };
  presets.OnChange = Logs("change");
  presets.OnCloseUp = Logs("close up");
  f.Show();
  presets.SetFocus();
  // A letter that no entry starts with: the list drops down and stays open.
  PostMessageW(presets.Handle(), WM_CHAR, L'z', 1);
  Pump(100);
  EXPECT_TRUE(presets.DroppedDown());
  EXPECT_EQ(Log, std::vector<std::string>{"drop down"});
  EXPECT_EQ(presets.Items(), (std::vector<std::wstring>{L"alpha", L"beta", L"gamma"}));
  presets.SetDroppedDown(false);
  EXPECT_FALSE(presets.DroppedDown());
  // The list is filled again before the letter picks its entry. (Wine rolls
  // the list up when a letter picks an entry; Windows leaves it open.)
  Log.clear();
  PostMessageW(presets.Handle(), WM_CHAR, L'b', 1);
  Pump(100);
  ASSERT_FALSE(Log.empty());
  EXPECT_EQ(Log.front(), "drop down");
  EXPECT_EQ(Log.back(), "change");
  EXPECT_EQ(presets.ItemIndex(), 1);
  presets.SetDroppedDown(false);
  // Keys that are no typing leave the list closed; without the option nothing drops.
  Log.clear();
  PostMessageW(presets.Handle(), WM_CHAR, VK_ESCAPE, 1);
  Pump(50);
  EXPECT_FALSE(presets.DroppedDown());
  presets.AutoDropDown = false;
  PostMessageW(presets.Handle(), WM_CHAR, L'g', 1);
  Pump(50);
  EXPECT_FALSE(presets.DroppedDown());
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "drop down"), 0);
}

TEST_F(ToolkitWindows, AddedPagesAndTheirControlsAreFreedWithThePageControl) {
  static int freed;
  freed = 0;
  struct Counted : TLabel {
    using TLabel::TLabel;
    ~Counted() override { ++freed; }
  };
  {
    TForm f;
    auto* pages = f.Make<TPageControl>();
    pages->AddPage(L"一");
    TTabSheet* second = pages->AddPage(L"二");
    second->Make<Counted>(L"x");
    EXPECT_EQ(pages->PageCount(), 2);
    EXPECT_EQ(second->PageIndex(), 1);
    EXPECT_EQ(TabCtrl_GetItemCount(pages->Handle()), 2);
  }
  EXPECT_EQ(freed, 1);
}

TEST_F(ToolkitWindows, KeyedDrawingOnDibAndWindowCanvas) {
  constexpr TColor key = 0x008080;
  TBitmap src(3, 2);
  FillRect(src.Pixels(), {0, 0, 3, 2}, key);
  src.Pixels().SetColor(0, 0, clRed);
  src.Pixels().SetColor(2, 1, clBlue);
  TBitmap dst(5, 4);
  dst.Canvas().Brush.SetColor(clLime);
  dst.Canvas().FillRect({0, 0, 5, 4});
  dst.Canvas().DrawTransparent(src, {}, 1, 1, key);
  GdiFlush();
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      TColor want = clLime;
      if (x == 1 && y == 1) want = clRed;
      if (x == 3 && y == 2) want = clBlue;
      EXPECT_EQ(dst.Pixels().ColorAt(x, y), want) << x << "," << y;
    }
  // On a window, through the screen.
  TForm f;
  f.SetBorderStyle(bsNone);
  f.SetBounds(300, 300, 20, 20);
  f.SetColor(clLime);
  f.OnPaint = [&](TObject*) { f.Canvas().DrawTransparent(src, {}, 2, 3, key); };
  f.Show();
  f.Repaint();
  Pump(50);
  TBitmap shot;
  test::GrabClient(f.Handle(), shot);
  EXPECT_EQ(shot.Pixels().ColorAt(2, 3), clRed);
  EXPECT_EQ(shot.Pixels().ColorAt(3, 3), clLime);
  EXPECT_EQ(shot.Pixels().ColorAt(4, 4), clBlue);
  // A paint box drawn from a timer.
  TPaintBox box(&f);
  box.SetBounds(10, 10, 5, 5);
  TTimer t;
  t.SetInterval(10);
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    box.Canvas().Brush.SetColor(clNavy);
    box.Canvas().FillRect({0, 0, 3, 3});
  };
  Pump(80);
  test::GrabClient(f.Handle(), shot);
  EXPECT_EQ(shot.Pixels().ColorAt(10, 10), clNavy);
  EXPECT_EQ(shot.Pixels().ColorAt(13, 13), clLime);
}

// Renders a character and tells a real glyph from the missing-glyph box.
bool RendersGlyph(const TFont& font, wchar_t c) {
  auto draw = [&](wchar_t ch, TBitmap& b) {
    b.SetSize(24, 24);
    b.Canvas().Brush.SetColor(clWhite);
    b.Canvas().FillRect({0, 0, 24, 24});
    b.Canvas().Font = font;
    b.Canvas().Font.SetColor(clBlack);
    b.Canvas().TextOut(2, 2, std::wstring(1, ch));
    GdiFlush();
  };
  TBitmap a, missing;
  draw(c, a);
  draw(L'\xE000', missing);
  int differ = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) differ += a.Pixels().ColorAt(x, y) != missing.Pixels().ColorAt(x, y);
  return differ > 10;
}

TEST_F(ToolkitWindows, ScreenshotWithChineseCaptions) {
  AllControlsForm f;
  f.SetColor(cl3DDkShadow);
  TFont white = f.Font();
  white.SetColor(clWhite);
  f.label.SetFont(white);
  f.title.SetFont(white);
  f.hslider.SetValue(40);
  f.vslider.SetValue(70);
  f.Show();
  Pump(200);
  f.Repaint();
  Pump(100);
  EXPECT_TRUE(RendersGlyph(f.Font(), L'播')) << "no CJK glyphs for the form's font";
  TBitmap shot;
  test::GrabClient(f.Handle(), shot);
  CreateDirectoryW(L"..\\screenshots", nullptr);
  shot.SaveToFile(L"..\\screenshots\\toolkit_form.bmp");
  // The white label text is on the dark form colour.
  int white_pixels = 0;
  for (int y = f.label.Top(); y < f.label.Top() + f.label.Height(); ++y)
    for (int x = f.label.Left(); x < f.label.Left() + f.label.Width(); ++x)
      white_pixels += shot.Pixels().ColorAt(x, y) == clWhite;
  EXPECT_GT(white_pixels, 20);
  EXPECT_EQ(shot.Pixels().ColorAt(f.label.Left() + f.label.Width() + 3, f.label.Top()),
            ColorToRGB(cl3DDkShadow));
  // The image and the paint box show what was drawn on them.
  EXPECT_EQ(shot.Pixels().ColorAt(f.image.Left() + 5, f.image.Top() + 5), clRed);
  EXPECT_EQ(shot.Pixels().ColorAt(f.paint.Left() + 5, f.paint.Top() + 5), clNavy);
}

// Types a file name into a file dialog with the given title, from another
// thread, and presses its OK button.
class FileDialogDriver {
 public:
  FileDialogDriver(std::wstring title, std::wstring typed) : title_(std::move(title)), typed_(std::move(typed)) {
    thread_ = std::thread([this] {
      const DWORD end = GetTickCount() + 60000;  // a first file dialog can be slow to come
      while (static_cast<int>(end - GetTickCount()) > 0) {
        HWND dlg = FindWindowW(L"#32770", title_.c_str());
        DWORD pid = 0;
        if (dlg) GetWindowThreadProcessId(dlg, &pid);
        if (dlg && pid == GetCurrentProcessId()) {
          Sleep(200);  // let the dialog finish setting itself up
          HWND name = GetDlgItem(dlg, 0x47C);  // the file name box (combo box)
          if (!name) name = GetDlgItem(dlg, 0x480);  // (or edit)
          SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed_.c_str()));
          PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
          found_ = true;
          return;
        }
        Sleep(20);
      }
    });
  }
  ~FileDialogDriver() { thread_.join(); }
  bool Found() const { return found_; }

 private:
  std::wstring title_, typed_;
  std::atomic<bool> found_{false};
  std::thread thread_;
};

TEST_F(ToolkitWindows, OpenDialogWithSeveralFilesAndSaveDialogWithDefaultExtension) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring dir = std::wstring(tmp) + L"tav_dialog_test";
  CreateDirectoryW(dir.c_str(), nullptr);
  for (const wchar_t* n : {L"\\甲.mp3", L"\\乙.ogg"}) {
    HANDLE h = CreateFileW((dir + n).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
  }
  TOpenDialog open;
  open.Title = L"打开音频文件";
  open.Filter = L"音频文件|*.mp3;*.ogg|全部|*.*";
  open.InitialDir = dir;
  open.Options |= ofAllowMultiSelect | ofFileMustExist;
  {
    FileDialogDriver driver(open.Title, L"\"甲.mp3\" \"乙.ogg\"");
    const bool chosen = open.Execute();
    EXPECT_TRUE(driver.Found());
    ASSERT_TRUE(chosen) << "dialog error " << open.DialogError;
  }
  ASSERT_EQ(open.Files.size(), 2u);
  std::vector<std::wstring> names = open.Files;
  std::sort(names.begin(), names.end());
  std::vector<std::wstring> want = {dir + L"\\甲.mp3", dir + L"\\乙.ogg"};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(names, want);

  TSaveDialog save;
  save.Title = L"保存为WAV文件";
  save.Filter = L"WAV 文件|*.wav";
  save.DefaultExt = L".wav";
  save.InitialDir = dir;
  {
    FileDialogDriver driver(save.Title, L"输出");
    ASSERT_TRUE(save.Execute());
  }
  EXPECT_EQ(save.FileName, dir + L"\\输出.wav");

  // A preset save: the extension given as a pattern, an existing file taken
  // without the overwrite question, the current folder kept.
  const std::wstring preset = dir + L"\\甲预设.brindle";
  CloseHandle(CreateFileW(preset.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  wchar_t before[MAX_PATH], after[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, before);
  TSaveDialog presetSave;
  presetSave.Title = L"保存预设...";
  presetSave.Filter = L"Brindle 预设|*.brindle";
  presetSave.DefaultExt = L"*.brindle";
  presetSave.InitialDir = dir;
  presetSave.Options = ofNoChangeDir | ofPathMustExist | ofNoTestFileCreate | ofDontAddToRecent;
  {
    FileDialogDriver driver(presetSave.Title, L"甲预设");
    ASSERT_TRUE(presetSave.Execute());
  }
  EXPECT_EQ(presetSave.FileName, preset);
  GetCurrentDirectoryW(MAX_PATH, after);
  EXPECT_STREQ(after, before);
}

}  // namespace
}  // namespace tav
