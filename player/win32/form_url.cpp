#include "player/win32/form_url.h"

#include "player/win32/ansi_text.h"
#include "player/win32/look.h"
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

TFormURL::TFormURL(IStreamOpened& main) : main_(main) {
  SetCaption(L"打开URL地址");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetPosition(poScreenCenter);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  SetClientSize(kClientWidth, kClientHeight);

  Label1 = Placed<TLabel>(this, kLabel1, L"请粘贴或输入URL歌曲地址,播放器会打开它");
  Label3 = Placed<TLabel>(this, kLabel3, L"例如: http://www.example.com/music/song.mp3");
  Edit1 = Placed<TEdit>(this, kEdit1);
  Edit1->SetFont(MakeFont(L"Tahoma", 8, clBlack));
  Edit1->SetColor(clWindow);
  Label2 = Placed<TLabel>(this, kLabel2, L"仅支持http和Ftp协议");
  btnloadUrl = Placed<TButton>(this, kButton, L"打开");
  btnloadUrl->OnClick = [this](TObject*) { btnloadUrlClick(); };
}

TFormURL::~TFormURL() = default;

void TFormURL::btnloadUrlClick() {
  const std::wstring address = Edit1->Text();
  if (address.empty()) return;
  // An address that does not open is named in the main window's box; this
  // window stays as it is.
  const std::string name = WideToAnsi(address);
  if (!tav::engine::OpenStream(name, true)) {
    main_.NotOpenedAddress(name);
    return;
  }
  main_.SendPlaysAddress();
  Close();
}

}  // namespace tav::player
