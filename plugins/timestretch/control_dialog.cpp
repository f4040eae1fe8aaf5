#include "control_dialog.h"

#include <string>

#include <commctrl.h>

#include "control_logic.h"
#include "plugin_state.h"
#include "resource_ids.h"

namespace lentaro {
namespace {

const wchar_t kHelpText[] =
    L"This plugin lets you slow down or even speed up the music by stretching it between -50% to 70%. "
    L"Without changing the pitch!\r\n"
    L"You can also fine-tune the pitch in cents (100ths of a semi-tone) to suit your instrument.\r\n"
    L"\r\n"
    L"Hints:\r\n"
    L"Activating the mono button uses less computer power.\r\n"
    L"Stretching the music 100% is the same as slowing down to half speed.\r\n"
    L"Click on a slider while holding down the control button, zeroes the value.";

const wchar_t kAboutText[] =
    L"dsp_lentaro version 1.02\r\n"
    L"\r\n"
    L"Time stretching and pitch fine-tuning by a phase vocoder, for Tavolen and other hosts "
    L"of Winamp DSP plug-ins.\r\n"
    L"\r\n"
    L"Part of the Tavolen music player.";

bool keyDown(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }
bool arrowDown() { return keyDown(VK_UP) || keyDown(VK_DOWN) || keyDown(VK_LEFT) || keyDown(VK_RIGHT); }

void setText(HWND dlg, int id, const std::string& text) {
  SetDlgItemTextW(dlg, id, std::wstring(text.begin(), text.end()).c_str());
}

ScrollKind scrollKind(WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case TB_THUMBTRACK: return ScrollKind::ThumbTrack;
    case TB_THUMBPOSITION: return ScrollKind::ThumbPosition;
    case TB_ENDTRACK: return ScrollKind::EndTrack;
    default: return ScrollKind::Other;
  }
}

void setUpTrackBar(HWND bar, int minimum, int maximum, int position) {
  SendMessageW(bar, TBM_SETRANGEMAX, TRUE, maximum);
  SendMessageW(bar, TBM_SETRANGEMIN, TRUE, minimum);
  SendMessageW(bar, TBM_SETPOS, TRUE, position);
  SendMessageW(bar, TBM_SETTICFREQ, 10, 0);
  SendMessageW(bar, TBM_SETLINESIZE, 0, 1);
  SendMessageW(bar, TBM_SETPAGESIZE, 0, 10);
}

void onInitDialog(HWND dlg) {
  StretchModule& m = stretchModule();
  CheckDlgButton(dlg, IDC_BYPASS, m.bypass ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_MONO, m.mono ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(dlg, IDC_MONO), m.bypass == 0);
  const float stretch = m.stretch.load();
  setUpTrackBar(GetDlgItem(dlg, IDC_SPEED), -50, 70, speedPositionForStretch(stretch));
  setText(dlg, IDC_SPEED_LABEL, speedLabel(stretchPercentLabel(stretch)));
  const int cents = pitchCents(m.pitch.load());
  setUpTrackBar(GetDlgItem(dlg, IDC_PITCH), -100, 100, -cents);
  setText(dlg, IDC_PITCH_LABEL, pitchLabel(cents));
}

void onVScroll(HWND dlg, WPARAM wParam, HWND bar) {
  StretchModule& m = stretchModule();
  const int position = int(SendMessageW(bar, TBM_GETPOS, 0, 0));
  const bool ctrl = keyDown(VK_CONTROL), arrows = arrowDown();
  if (bar == GetDlgItem(dlg, IDC_SPEED)) {
    const ScrollResult r = speedScroll(position, ctrl, arrows, scrollKind(wParam));
    if (r.position) SendMessageW(bar, TBM_SETPOS, TRUE, *r.position);
    setText(dlg, IDC_SPEED_LABEL, speedLabel(r.value));
    m.stretch = float(r.value + 100) * 0.01f;
    if (r.apply) m.dirty = 1;
  } else if (bar == GetDlgItem(dlg, IDC_PITCH)) {
    const ScrollResult r = pitchScroll(position, ctrl, arrows, scrollKind(wParam));
    if (r.position) SendMessageW(bar, TBM_SETPOS, TRUE, *r.position);
    setText(dlg, IDC_PITCH_LABEL, pitchLabel(r.value));
    m.pitch = float(r.value) * 0.01f;
    if (r.apply) m.dirty = 1;
  }
}

INT_PTR onCommand(HWND dlg, int id) {
  StretchModule& m = stretchModule();
  PluginWindows& w = pluginWindows();
  switch (id) {
    case IDC_BYPASS:
      if (IsDlgButtonChecked(dlg, IDC_BYPASS) == BST_CHECKED) {
        m.bypass = 1;
      } else {
        m.bypass = 0;
        m.dirty = 1;
      }
      EnableWindow(GetDlgItem(dlg, IDC_MONO), m.bypass == 0);
      return 1;
    case IDC_MONO:
      m.mono = IsDlgButtonChecked(dlg, IDC_MONO) == BST_CHECKED ? 1 : 0;
      m.dirty = 1;
      return 1;
    case IDC_ABOUT_BUTTON:
      openAboutDialog(w.instance, dlg);
      return 1;
    case IDC_HELP_BUTTON:
      openHelpDialog(w.instance, dlg);
      return 1;
    default:
      return 0;
  }
}

INT_PTR CALLBACK MainDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      onInitDialog(dlg);
      return 0;
    case WM_VSCROLL:
      onVScroll(dlg, wParam, reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_COMMAND:
      return onCommand(dlg, LOWORD(wParam));
    case WM_MOVE: {
      RECT r{};
      GetWindowRect(dlg, &r);
      pluginWindows().posX = r.left;
      pluginWindows().posY = r.top;
      return 0;
    }
    case WM_DESTROY:
      if (pluginWindows().control == dlg) pluginWindows().control = nullptr;
      return 0;
    default:
      return 0;
  }
}

// Help and About: text at creation, OK closes, the handle is forgotten however
// the dialog goes (also with its owner).
template <HWND PluginWindows::*Slot, int TextId, const wchar_t* Text>
INT_PTR CALLBACK TextDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextW(dlg, TextId, Text);
      pluginWindows().*Slot = dlg;
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        DestroyWindow(dlg);
        return 1;
      }
      return 0;
    case WM_DESTROY:
      if (pluginWindows().*Slot == dlg) pluginWindows().*Slot = nullptr;
      return 0;
    default:
      return 0;
  }
}

void openTextDialog(HWND PluginWindows::*slot, int templateId, DLGPROC proc, HINSTANCE instance, HWND owner) {
  if (pluginWindows().*slot) return;
  HWND dlg = CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), owner, proc, 0);
  if (dlg) ShowWindow(dlg, SW_SHOW);
}

}  // namespace

HWND createControlDialog(HINSTANCE instance, HWND owner) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  HWND dlg = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_CONTROL), owner, MainDlgProc, 0);
  pluginWindows().control = dlg;
  return dlg;
}

void openHelpDialog(HINSTANCE instance, HWND owner) {
  openTextDialog(&PluginWindows::help, IDD_HELP, TextDlgProc<&PluginWindows::help, IDC_HELP_TEXT, kHelpText>,
                 instance, owner);
}

void openAboutDialog(HINSTANCE instance, HWND owner) {
  openTextDialog(&PluginWindows::about, IDD_ABOUT,
                 TextDlgProc<&PluginWindows::about, IDC_ABOUT_TEXT, kAboutText>, instance, owner);
}

void destroyDialogs() {
  PluginWindows& w = pluginWindows();
  for (HWND* slot : {&w.help, &w.about, &w.control}) {
    if (*slot && IsWindow(*slot)) DestroyWindow(*slot);
    *slot = nullptr;
  }
}

}  // namespace lentaro
