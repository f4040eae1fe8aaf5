#include "tav/player/startup.h"

#include <string>

#include <windows.h>

#include "bass.h"
#include "bass_fx.h"
#include "player/win32/ansi_text.h"
#include "player/win32/player_windows.h"

namespace tav::player {
namespace {

constexpr DWORD kRequiredVersion = 0x0204;  // high word of both libraries' versions

const wchar_t kCaptionStop[] = L"出错啦!!!!!";
const wchar_t kCaptionDevice[] = L"出错啦!!!";

void ErrorBox(const std::wstring& text, const wchar_t* caption) {
  MessageBoxW(nullptr, text.c_str(), caption, MB_OK | MB_ICONERROR);
}

}  // namespace

void InitAllDevices() {
  BASS_DEVICEINFO info{};
  for (DWORD device = 0; BASS_GetDeviceInfo(device, &info); ++device) {
    if (!BASS_Init(int(device), 44100, 0, nullptr, nullptr)) {
      // Device names come from the audio library as 8-bit text in the ANSI code page.
      ErrorBox(L"设备" + AnsiToWide(info.name ? info.name : "") + L"初始化失败,有可能不支持!!!", kCaptionDevice);
    }
  }
}

int MainBlock() {
  if (HIWORD(BASS_GetVersion()) != kRequiredVersion) {
    ErrorBox(L"BASS.Dll版本不合适,退出", kCaptionStop);
    return 0;
  }
  if (HIWORD(BASS_FX_GetVersion()) != kRequiredVersion) {
    ErrorBox(L"Bfxs.dll版本不合适,退出", kCaptionStop);
    return 0;
  }
  InitAllDevices();
  BASS_INFO info{};
  if (BASS_GetInfo(&info) && info.dsver < 8) {
    ErrorBox(L"您的DirectX 版本过低\r\n"
             L"以下功能可能无法使用:\r\n"
             L"均衡器\r\n"
             L"混响\r\n"
             L"高级回音\r\n"
             L"慢拂移向\r\n"
             L"\r\n"
             L"请安装DirectX 8 及以上版本!!!",
             kCaptionStop);
  }
  // Make sure the thread has a message queue before anyone posts to it.
  MSG peek;
  PeekMessageW(&peek, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  return RunPlayer();
}

}  // namespace tav::player
