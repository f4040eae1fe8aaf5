// dsp_lentaro.dll through the test host, as a Winamp DSP host drives it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dsp_test_host.h"

namespace {

using tav::test::DspTestHost;

constexpr int kSpeed = 1000, kPitch = 1001, kSpeedLabel = 102, kPitchLabel = 103, kBypass = 1002,
              kAbout = 1003, kMono = 1005;
const wchar_t kControlCaption[] = L"控制速度音调";

class Plugin : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host.load(tav::test::exeFolder() + L"\\dsp_lentaro.dll")); }

  std::wstring ini() const { return host.folder() + L"\\plugin.ini"; }
  std::wstring iniValue(const wchar_t* key) const {
    wchar_t buf[64] = {};
    GetPrivateProfileStringW(L"DSP_Lentaro", key, L"<missing>", buf, 64, ini().c_str());
    return buf;
  }
  HWND control() const { return DspTestHost::findDialog(kControlCaption); }
  int position(int id) const { return int(SendDlgItemMessageW(control(), id, TBM_GETPOS, 0, 0)); }
  std::wstring text(int id) const { return tav::test::readWindowText(GetDlgItem(control(), id)); }
  // Moves a track bar as the user's thumb release does.
  void releaseThumb(int id, int pos) {
    HWND bar = GetDlgItem(control(), id);
    SendMessageW(bar, TBM_SETPOS, TRUE, pos);
    SendMessageW(control(), WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), LPARAM(bar));
  }
  // Frames out over the given number of 1152-frame stereo blocks of a sine.
  long long play(int blocks) {
    long long out = 0;
    std::vector<short> block(1152 * 2 * 2);
    for (int b = 0; b < blocks; ++b) {
      for (int i = 0; i < 1152; ++i)
        block[2 * i] = block[2 * i + 1] = short(8000 * std::sin(0.1 * (b * 1152 + i)));
      out += host.modify(block.data(), 1152, 16, 2, 44100);
      DspTestHost::pump();
    }
    return out;
  }
  int reinitNotices() const {
    int n = 0;
    for (const auto& m : host.userMessages) n += m.wParam == 0 && m.lParam == 105;
    return n;
  }

  DspTestHost host;
};

TEST_F(Plugin, ExportsTheHeaderAndOneModule) {
  winampDSPHeader* h = host.header();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->version, 0x20);
  const char expected[] = "\xCB\xD9\xB6\xC8\xD3\xEB\xD2\xF4\xB5\xF7\xBF\xD8\xD6\xC6";  // in code page 936
  EXPECT_STREQ(h->description, expected);
  ASSERT_EQ(host.modules().size(), 1u);
  EXPECT_EQ(h->getModule(0), host.module());  // the same record every time
  EXPECT_EQ(h->getModule(1), nullptr);
  EXPECT_STREQ(host.module()->description, expected);
  EXPECT_EQ(host.module()->userData, nullptr);
  for (auto fn : {(void*)host.module()->Config, (void*)host.module()->Init, (void*)host.module()->ModifySamples,
                  (void*)host.module()->Quit})
    EXPECT_NE(fn, nullptr);
}

TEST_F(Plugin, InitOpensTheControlDialogWithTheDefaults) {
  ASSERT_EQ(host.init(), 0);
  HWND dlg = control();
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(IsWindowVisible(dlg));
  EXPECT_EQ(GetWindow(dlg, GW_OWNER), host.window());
  EXPECT_EQ(GetWindowLongW(dlg, GWL_STYLE) & WS_SYSMENU, 0);  // no close box
  EXPECT_NE(GetWindowLongW(dlg, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
  EXPECT_EQ(SendDlgItemMessageW(dlg, kSpeed, TBM_GETRANGEMIN, 0, 0), -50);
  EXPECT_EQ(SendDlgItemMessageW(dlg, kSpeed, TBM_GETRANGEMAX, 0, 0), 70);
  EXPECT_EQ(position(kSpeed), -50);  // stretch 2.00 lies past the top end
  EXPECT_EQ(text(kSpeedLabel), L"100 %");
  EXPECT_EQ(SendDlgItemMessageW(dlg, kPitch, TBM_GETRANGEMIN, 0, 0), -100);
  EXPECT_EQ(position(kPitch), 0);
  EXPECT_EQ(text(kPitchLabel), L"0 cent");
  EXPECT_EQ(IsDlgButtonChecked(dlg, kBypass), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dlg, kMono), BST_CHECKED);
  RECT r{};
  GetWindowRect(dlg, &r);
  EXPECT_EQ(r.left, -1);
  EXPECT_EQ(r.top, -1);
  host.quit();
}

TEST_F(Plugin, TrackBarChangeReachesTheNextBlockAndNotifiesTheHost) {
  ASSERT_EQ(host.init(), 0);
  play(40);
  const int before = reinitNotices();
  EXPECT_GE(before, 1);
  releaseThumb(kSpeed, -30);
  EXPECT_EQ(text(kSpeedLabel), L"50 %");
  EXPECT_EQ(reinitNotices(), before);  // applied at the next block, not before
  EXPECT_EQ(play(1), 0);               // a fresh stream starts filling its window
  EXPECT_EQ(reinitNotices(), before + 1);
  const long long out = play(200);
  EXPECT_NEAR(double(out) / (200 * 1152), 1.5, 0.05);
  host.quit();
}

TEST_F(Plugin, QuitWritesTheSettingsAndTheNextInitReadsThem) {
  ASSERT_EQ(host.init(), 0);
  releaseThumb(kPitch, -7);
  EXPECT_EQ(text(kPitchLabel), L"7 cent");
  SendMessageW(control(), WM_COMMAND, kMono, 0);  // the box is still checked: Mono stays on
  SetWindowPos(control(), nullptr, 120, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  host.quit();
  EXPECT_EQ(control(), nullptr);
  EXPECT_EQ(iniValue(L"Stretch"), L"2.00");
  EXPECT_EQ(iniValue(L"Pitch"), L"0.07");
  EXPECT_EQ(iniValue(L"Bypass"), L"0");
  EXPECT_EQ(iniValue(L"Mono"), L"1");
  EXPECT_EQ(iniValue(L"pos_x"), L"120");
  EXPECT_EQ(iniValue(L"pos_y"), L"80");

  WritePrivateProfileStringW(L"DSP_Lentaro", L"Stretch", L"1.15", ini().c_str());
  WritePrivateProfileStringW(L"DSP_Lentaro", L"Mono", L"0", ini().c_str());
  ASSERT_EQ(host.init(), 0);
  EXPECT_EQ(position(kPitch), -7);
  EXPECT_EQ(text(kPitchLabel), L"7 cent");
  EXPECT_EQ(position(kSpeed), 5);  // where its label "15 %" says
  EXPECT_EQ(text(kSpeedLabel), L"15 %");
  EXPECT_EQ(IsDlgButtonChecked(control(), kMono), BST_UNCHECKED);
  RECT r{};
  GetWindowRect(control(), &r);
  EXPECT_EQ(r.left, 120);
  EXPECT_EQ(r.top, 80);
  host.quit();
}

TEST_F(Plugin, OutOfRangeSettingsAreClampedAtInit) {
  WritePrivateProfileStringW(L"DSP_Lentaro", L"Stretch", L"-3", ini().c_str());
  WritePrivateProfileStringW(L"DSP_Lentaro", L"Pitch", L"junk", ini().c_str());
  ASSERT_EQ(host.init(), 0);
  EXPECT_EQ(text(kSpeedLabel), L"-50 %");
  EXPECT_EQ(text(kPitchLabel), L"0 cent");
  const long long out = play(300);
  EXPECT_NEAR(double(out) / (300 * 1152), 0.5, 0.05);
  host.quit();
}

TEST_F(Plugin, BypassPassesBlocksThroughAtOnce) {
  ASSERT_EQ(host.init(), 0);
  play(10);
  CheckDlgButton(control(), kBypass, BST_CHECKED);
  SendMessageW(control(), WM_COMMAND, kBypass, 0);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(control(), kMono)));
  std::vector<short> block(1152 * 4, 1234);
  EXPECT_EQ(host.modify(block.data(), 1152, 16, 2, 44100), 1152);
  EXPECT_EQ(block[0], 1234);
  host.quit();
}

TEST_F(Plugin, OpenHelpAndAboutDoNotOutliveQuitAndUnload) {
  ASSERT_EQ(host.init(), 0);
  host.config();
  HWND help = DspTestHost::findDialog(L"Lentaro Help");
  ASSERT_NE(help, nullptr);
  EXPECT_NE(tav::test::readWindowText(GetDlgItem(help, 1005)).find(L"Without changing the pitch!"), std::wstring::npos);
  host.config();  // already open: nothing new
  SendMessageW(control(), WM_COMMAND, kAbout, 0);
  HWND about = DspTestHost::findDialog(L"About Lentaro");
  ASSERT_NE(about, nullptr);
  host.quit();
  EXPECT_FALSE(IsWindow(help));
  EXPECT_FALSE(IsWindow(about));
  host.unload();
  // the host goes on with its messages after the library is gone
  for (int i = 0; i < 5; ++i) {
    PostMessageW(host.window(), WM_NULL, 0, 0);
    DspTestHost::pump();
    Sleep(10);
  }
}

}  // namespace
