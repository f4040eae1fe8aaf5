#include "player/win32/form_render.h"

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>

#include "player/core/bass_render_source.h"
#include "player/win32/ansi_text.h"
#include "player/win32/look.h"
#include "player/win32/render_file.h"

namespace tav::player {

namespace {
// Layout (client 337 x 114): the bar across the top, the text below it, the
// button at the bottom right.
constexpr int kClientWidth = 337, kClientHeight = 114;
constexpr TRect kProgressBar1{12, 16, 325, 34};
constexpr TRect kLabel1{12, 46, 0, 0};
constexpr TRect kButton1{250, 78, 325, 102};

// The same file on disk, whatever the spelling of the two names (case, short
// names, another path to the folder). A target that does not exist is not
// the source.
bool SameFile(const std::wstring& a, const std::wstring& b) {
  auto identity = [](const std::wstring& name, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h = CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, &info) != FALSE;
    CloseHandle(h);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  if (!identity(a, ia) || !identity(b, ib)) return false;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

constexpr const char* kTargetIsSource = "不能把WAV文件保存到正在读取的源文件上!";
}  // namespace

TForm7::TForm7() {
  SetCaption(L"转换WAV文件");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetPosition(poScreenCenter);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clBlack));
  SetClientSize(kClientWidth, kClientHeight);

  ProgressBar1 = Placed<TProgressBar>(this, kProgressBar1);
  SetWindowLongW(ProgressBar1->Handle(), GWL_STYLE, GetWindowLongW(ProgressBar1->Handle(), GWL_STYLE) | PBS_SMOOTH);
  ProgressBar1->SetRange(0, 100);
  Label1 = Placed<TLabel>(this, kLabel1, Widen(kRenderDone));
  Label1->SetFont(MakeFont(L"Tahoma", 8, clSilver));
  Button1 = Placed<TButton>(this, kButton1, Widen(kRenderCancel));
  Button1->OnClick = [this](TObject*) { Button1Click(); };
  // Closing the window while a render runs cancels it.
  OnClose = [this](TObject*, TCloseAction&) { controller_.WindowClosing(); };
}

TForm7::~TForm7() = default;

TRenderOutcome TForm7::ConvertToWav(const std::string& source, const std::string& target, const TRenderJob& job) {
  // While a render runs, the controller answers both ways by bringing its
  // window forward.
  const std::wstring targetName = Widen(target);
  if (SameFile(AnsiToWide(source), targetName)) return controller_.Refuse(kTargetIsSource);
  TBassRenderSource from(source);
  TFileRenderSink to(targetName);
  return controller_.ConvertToWav(job, from, to, {&vst_, &dsp_});
}

void TForm7::ShowForward() {
  Show();
  BringToFront();
}

void TForm7::SetButtonCaption(const std::string& text) { Button1->SetCaption(Widen(text)); }

void TForm7::SetStatus(const std::string& text) {
  Label1->SetCaption(Widen(text));
  Label1->Update();
}

void TForm7::SetProgress(int32_t percent) { ProgressBar1->SetPosition(percent); }

void TForm7::ProcessMessages() { Application().ProcessMessages(); }

bool TForm7::ProgramEnding() { return Application().Terminated(); }

void TForm7::Warn(const std::string& text) {
  MessageBoxW(Handle(), Widen(text).c_str(), L"出错啦!", MB_OK | MB_ICONWARNING);
}

void TForm7::ShowError(const std::string& message) {
  Application().ShowException(std::make_exception_ptr(std::runtime_error(message)));
}

}  // namespace tav::player
