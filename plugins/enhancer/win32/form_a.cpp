#include "win32/form_a.h"

#include <shellapi.h>

namespace brindle::win32 {
namespace {

using namespace tav;

TFont AboutFont(int points, TColor colour) {
  TFont f;
  f.SetName(L"Tahoma");
  f.SetSize(points);
  f.SetColor(colour);
  return f;
}

}  // namespace

TForm_a::TForm_a() {
  SetCaption(L"About me");
  SetBorderStyle(bsToolWindow);
  SetBorderIcons(biSystemMenu);
  SetColor(clBlack);
  SetFont(AboutFont(8, clLime));
  SetClientSize(270, 235);
  SetBounds(336, 306, Width(), Height());

  Image1 = Make<TImage>();
  Image1->SetBounds(4, 13, 269, 180);
  Image1->Picture().LoadFromResourceName(ModuleInstance(), L"BRINDLE_ABOUT");
  Image1->Transparent = true;
  Image1->TransparentColor = RGBColor(128, 128, 0);
  Image1->PictureChanged();

  Label2 = Make<TLabel>(
      L"\n\n\n\n\n\n\nBrindle Enhancer is free for non-commercial use.\n\nWritten by the Brindle developers.\n"
      L"https://example.org/brindle");
  Label2->SetAutoSize(false);
  Label2->SetWordWrap(true);
  Label2->SetTransparent(true);
  Label2->SetAlignment(taCenter);
  Label2->SetBounds(8, 24, 257, 156);

  Label1 = Make<TLabel>(L"example.org");
  Label1->SetFont(AboutFont(24, clAqua));
  Label1->SetAutoSize(false);
  Label1->SetTransparent(true);
  Label1->SetAlignment(taCenter);
  Label1->SetBounds(32, 192, 216, 37);
  Label1->Cursor = crHandPoint;
  Label1->SetHint(L"Click to visit it!");
  Label1->SetShowHint(true);
  Label1->OnClick = [this](TObject*) { Label1Click(); };
}

void TForm_a::Label1Click() {
  // shown normally: a hidden browser window would open nowhere the user sees
  ShellExecuteW(nullptr, L"open", kAboutAddress, L"", L"", SW_SHOWNORMAL);
}

}  // namespace brindle::win32
