#include "player/win32/form_about.h"

#include "bass.h"
#include "player/win32/look.h"

namespace tav::player {

namespace {

// Layout (client 444 x 374): emblem and titles at the top, the description
// memo, the credits, and the library version with the two buttons at the
// bottom.
constexpr int kClientWidth = 444, kClientHeight = 374;
constexpr Place kImage1{12, 12, 55, 54};
constexpr Place kLabel1{80, 12, 0, 0};
constexpr Place kLabel2{80, 42, 0, 0};
constexpr Place kLabel4{80, 58, 0, 0};
constexpr Place kLabel3{12, 76, 0, 0};
constexpr Place kMemo1{12, 92, 420, 190};
constexpr Place kLabel9{12, 290, 0, 0};
constexpr Place kLabel10{12, 306, 0, 0};
constexpr Place kLabel11{12, 322, 0, 0};
constexpr Place kLblBassVer{12, 348, 0, 0};
constexpr Place kButton2{288, 342, 68, 24};
constexpr Place kButton1{364, 342, 68, 24};

const wchar_t* const kDescription[] = {
    L"欢迎使用 Tavolen 小型可调速音乐播放器 V1.5!",
    L"",
    L"本软件按现状提供,不附带任何明示或暗示的担保;因使用本软件造成的任何损失,作者概不负责。",
    L"",
    L"自本版本起,播放器更名为 Tavolen,功能与设置文件保持不变。",
    L"",
    L"主要功能:",
    L"  · 独立调节播放速度、节拍(速度不变音调)和音调;",
    L"  · 反向播放;",
    L"  · 15段均衡器,旋转、交叉回音、镶边等音效,DirectX 8 混响与回音,移相器;",
    L"  · 支持 Winamp DSP 插件和 VST 音效插件;",
    L"  · 把选中的片段另存为 WAV 文件。",
    L"",
    L"使用方法:",
    L"  把音频文件拖到主窗口即可播放,拖到播放列表即加入列表;",
    L"  单击 M 按钮或在主窗口上单击右键打开菜单;",
    L"  F5/F6 后退/前进 0.5 秒,F7/F8 后退/前进 5 秒(可在配置选项中更改)。",
    L"",
    L"调速范围:",
    L"  播放速度(采样率)0% 到 226%;",
    L"  节拍 -45% 到 +45%;音调 -30 到 +30 个半音。",
};

const wchar_t kCreditsName[] = L"Tavolen 开发组";
const wchar_t kCreditsDate[] = L"完成日期: 2026年12月";
const wchar_t kCreditsContact[] = L"联系: tavolen@example.org";

}  // namespace

std::wstring BassVersionText(unsigned long version) {
  return HIWORD(version) == 0x0204 ? L"Bass函数库版本:2.4" : L"Bass函数库版本:";
}

TFormAbout::TFormAbout() {
  SetCaption(L"关于...");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetPosition(poScreenCenter);
  ScreenSnap = true;
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  SetClientSize(kClientWidth, kClientHeight);

  Image1 = Placed<TImage>(this, kImage1);
  DrawEmblem();
  Label1 = Placed<TLabel>(this, kLabel1, L"Morvik小型可调速音乐播放器");
  Label1->SetFont(MakeFont(L"黑体", 16, clWhite));  // 21 pixels at 96 dots per inch
  Label2 = Placed<TLabel>(this, kLabel2, L"(基于BASS多媒体函数库构建)");
  Label4 = Placed<TLabel>(this, kLabel4, L"版本:1.5");
  Label3 = Placed<TLabel>(this, kLabel3, L"简介和说明:");
  Memo1 = Placed<TMemo>(this, kMemo1);
  Memo1->SetReadOnly(true);
  SetWindowLongW(Memo1->Handle(), GWL_STYLE, GetWindowLongW(Memo1->Handle(), GWL_STYLE) | WS_VSCROLL);
  SetWindowPos(Memo1->Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  Memo1->SetFont(MakeFont(L"Tahoma", 8, clBlack));
  Memo1->SetColor(clWindow);
  Memo1->SetLines(std::vector<std::wstring>(std::begin(kDescription), std::end(kDescription)));
  Label9 = Placed<TLabel>(this, kLabel9, kCreditsName);
  Label10 = Placed<TLabel>(this, kLabel10, kCreditsDate);
  Label11 = Placed<TLabel>(this, kLabel11, kCreditsContact);
  lblBassVer = Placed<TLabel>(this, kLblBassVer, L"Bass函数库版本:");
  Button1 = Placed<TButton>(this, kButton1, L"关闭");
  Button1->OnClick = [this](TObject*) { Close(); };
  Button2 = Placed<TButton>(this, kButton2, L"信息");
  Button2->OnClick = [this](TObject*) { Button2Click(); };

  OnCreate = [this](TObject*) { FormCreate(); };
}

TFormAbout::~TFormAbout() = default;

void TFormAbout::FormCreate() { lblBassVer->SetCaption(BassVersionText(BASS_GetVersion())); }

void TFormAbout::DrawEmblem() {
  // A disc with a speed arc: the program's emblem, drawn rather than stored.
  TBitmap& b = Image1->Picture();
  b.SetSize(55, 54);
  TCanvas& c = b.Canvas();
  c.Brush.SetColor(cl3DDkShadow);
  c.FillRect({0, 0, 55, 54});
  c.Pen.SetColor(RGBColor(192, 192, 192));
  c.Brush.SetColor(RGBColor(40, 40, 40));
  c.Ellipse({2, 2, 53, 52});
  c.Brush.SetColor(RGBColor(255, 200, 0));
  c.Ellipse({20, 19, 35, 34});
  c.Pen.SetColor(RGBColor(0, 220, 60));
  c.Pen.SetWidth(3);
  c.Arc({8, 8, 47, 46}, {47, 27}, {8, 27});
  Image1->PictureChanged();
}

void TFormAbout::Button2Click() {
  HMODULE shell = LoadLibraryW(L"Shell32.dll");
  if (!shell) return;
  using ShellAboutProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, HICON);
  if (auto about = reinterpret_cast<ShellAboutProc>(reinterpret_cast<void*>(GetProcAddress(shell, "ShellAboutA")))) {
    about(Handle(), "Tavolen", "Tavolen development team",
          reinterpret_cast<HICON>(SendMessageW(Handle(), WM_GETICON, ICON_BIG, 0)));
  }
  FreeLibrary(shell);
}

}  // namespace tav::player
