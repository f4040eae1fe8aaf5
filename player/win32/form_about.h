// The About window: emblem, title, version, description, credits and the
// audio library's version.
#pragma once

#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TFormAbout : public TForm {
 public:
  TFormAbout();
  ~TFormAbout() override;
  TImage* Image1;
  TLabel *Label1, *Label2, *Label3, *Label4, *Label9, *Label10, *Label11, *lblBassVer;
  TMemo* Memo1;
  TButton *Button1, *Button2;

 private:
  void FormCreate();
  void Button2Click();
  void DrawEmblem();
};

// The version text the About window shows for a BASS_GetVersion value.
std::wstring BassVersionText(unsigned long version);

}  // namespace tav::player
