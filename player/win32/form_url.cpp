#include "player/win32/form_url.h"

#include "player/win32/ansi_text.h"
#include "player/win32/form_main.h"
#include "player/win32/look.h"
#include "player/win32/window_links.h"
#include "tav/engine/stream_chain.h"

namespace tav::player {

namespace {
// Layout (client 357 x 96): the request, the example, the address box, then
// the protocol note with the button at the right.
constexpr int kClientWidth = 357, kClientHeight = 96;
constexpr TRect kLabel1{8, 8, 0, 0};
constexpr TRect kLabel3{8, 24, 0, 0};
constexpr TRect kEdit1{8, 42, 349, 63};
constexpr TRect kLabel2{8, 72, 0, 0};
constexpr TRect kButton{277, 68, 349, 90};
}  // namespace

TFormURL::TFormURL() {
  SetCaption(L"打开URL地址");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetPosition(poScreenCenter);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  SetClientSize(kClientWidth, kClientHeight);

  Label1 = Make<TLabel>(L"请粘贴或输入URL歌曲地址,播放器会打开它");
  Label1->SetBounds(kLabel1.Left, kLabel1.Top, Label1->Width(), Label1->Height());
  Label3 = Make<TLabel>(L"例如: http://www.example.com/music/song.mp3");
  Label3->SetBounds(kLabel3.Left, kLabel3.Top, Label3->Width(), Label3->Height());
  Edit1 = Make<TEdit>();
  Edit1->SetBounds(kEdit1.Left, kEdit1.Top, kEdit1.Width(), kEdit1.Height());
  Edit1->SetFont(MakeFont(L"Tahoma", 8, clBlack));
  Edit1->SetColor(clWindow);
  Label2 = Make<TLabel>(L"仅支持http和Ftp协议");
  Label2->SetBounds(kLabel2.Left, kLabel2.Top, Label2->Width(), Label2->Height());
  btnloadUrl = Make<TButton>(L"打开");
  btnloadUrl->SetBounds(kButton.Left, kButton.Top, kButton.Width(), kButton.Height());
  btnloadUrl->OnClick = [this](TObject*) { btnloadUrlClick(); };
  PlayerWindows().Url = this;
}

TFormURL::~TFormURL() {
  if (PlayerWindows().Url == this) PlayerWindows().Url = nullptr;
}

void TFormURL::btnloadUrlClick() {
  const std::wstring address = Edit1->Text();
  if (address.empty()) return;
  // An address that does not open leaves the window as it is, without a word.
  if (!tav::engine::OpenStream(WideToAnsi(address), true)) return;
  if (PlayerWindows().Main) PlayerWindows().Main->SendPlaysAddress();
  Close();
}

}  // namespace tav::player
