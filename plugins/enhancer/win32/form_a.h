// The enhancer's About window: a small black tool window with a picture, a
// notice and a link label; shown modally from the settings panel.
#pragma once

#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace brindle::win32 {

inline constexpr const wchar_t* kAboutAddress = L"https://example.org/brindle";

class TForm_a : public tav::TForm {
 public:
  TForm_a();
  tav::TImage* Image1;
  tav::TLabel *Label2, *Label1;
  void Label1Click();
};

}  // namespace brindle::win32
