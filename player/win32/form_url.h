// The URL window: the user types or pastes an address and opens it.
#pragma once

#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TFormURL : public TForm {
 public:
  TFormURL();
  ~TFormURL() override;
  TLabel *Label1, *Label2, *Label3;
  TEdit* Edit1;
  TButton* btnloadUrl;
  void btnloadUrlClick();
};

}  // namespace tav::player
