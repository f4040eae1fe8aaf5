// The URL window: the user types or pastes an address and opens it.
#pragma once

#include "player/core/window_links.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TFormURL : public TForm {
 public:
  // main: told when the address plays.
  explicit TFormURL(IStreamOpened& main);
  ~TFormURL() override;
  TLabel *Label1, *Label2, *Label3;
  TEdit* Edit1;
  TButton* btnloadUrl;
  void btnloadUrlClick();

 private:
  IStreamOpened& main_;
};

}  // namespace tav::player
