#include "player/win32/form_list.h"

#include <shellapi.h>

#include "player/core/playlist_file.h"
#include "player/win32/ansi_text.h"
#include "player/win32/drop_files.h"
#include "player/win32/form_main.h"
#include "player/win32/look.h"
#include "player/win32/window_links.h"
#include "tav/engine/globals.h"
#include "tav/engine/stream_chain.h"

namespace tav::player {

namespace {

// Layout of the play list (client 240 x 259): the list over the whole width,
// the two buttons below it at the left.
constexpr int kClientWidth = 240, kClientHeight = 259;
constexpr TRect kListBox{4, 4, 236, 229};
constexpr TRect kBtnInc{4, 233, 28, 255};
constexpr TRect kBtnDec{34, 233, 58, 255};
constexpr int kDesignLeft = 192, kDesignTop = 107;
constexpr const char* kSection = "FormList";

}  // namespace

TFormList::TFormList(TPlayListModel& list, ISettingsStore* settings) : list_(list), settings_(settings) {
  SetCaption(L"播放列表");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  SetClientSize(kClientWidth, kClientHeight);
  SetBounds(kDesignLeft, kDesignTop, Width(), Height());

  ListBox1 = Make<TListBox>();
  ListBox1->SetBounds(kListBox.Left, kListBox.Top, kListBox.Width(), kListBox.Height());
  ListBox1->PopupMenu = &PopupMenu1;
  ListBox1->SetColor(cl3DDkShadow);
  ListBox1->OnDblClick = [this](TObject*) { PlayEntry(ListBox1->ItemIndex()); };
  ListBox1->OnClick = [this](TObject*) { list_.Select(ListBox1->ItemIndex()); };
  btninc = Make<TButton>(L"+");
  btninc->SetBounds(kBtnInc.Left, kBtnInc.Top, kBtnInc.Width(), kBtnInc.Height());
  btninc->SetHint(L"添加音频文件");
  btninc->SetShowHint(true);
  btninc->OnClick = [this](TObject*) { muAddFileClick(); };
  btndec = Make<TButton>(L"-");
  btndec->SetBounds(kBtnDec.Left, kBtnDec.Top, kBtnDec.Width(), kBtnDec.Height());
  btndec->SetHint(L"删除列表里的一个条目");
  btndec->SetShowHint(true);
  btndec->OnClick = [this](TObject*) { mudelsClick(); };

  auto& root = PopupMenu1.Items;
  muAddFile = root.Add(L"添加文件....", [this](TObject*) { muAddFileClick(); });
  mumPlays = root.Add(L"播放选中的文件", [this](TObject*) {
    if (list_.Selected() >= 0) PlayEntry(list_.Selected());
  });
  root.Add(L"-");
  TMenuItem* mudel0 = root.Add(L"删除");
  mudels = mudel0->Add(L"删除选中", [this](TObject*) { mudelsClick(); });
  mudeladd = mudel0->Add(L"删除全部", [this](TObject*) { list_.Clear(); });
  mumsave = root.Add(L"立即保存当前播放列表状态", [this](TObject*) { SavePlayList(); });

  // The list box mirrors the model.
  list_.OnAdded = [this](int i) { ListBox1->Add(AnsiToWide(list_.Name(i))); };
  list_.OnDeleted = [this](int i) { ListBox1->Delete(i); };
  list_.OnCleared = [this] { ListBox1->Clear(); };
  list_.OnSelected = [this](int i) { ListBox1->SetItemIndex(i); };

  PlayerWindows().List = this;
  OnCreate = [this](TObject*) { FormCreate(); };
  OnDestroy = [this](TObject*) { FormDestroy(); };
  OnShow = [this](TObject*) { WriteVisible(Visible()); };
  OnClose = [this](TObject*, TCloseAction&) { WriteVisible(false); };
  SetMessageHandler(WM_DROPFILES, [this](TMessage& m) { return MyDrags(m); });
}

TFormList::~TFormList() {
  list_.OnAdded = nullptr;
  list_.OnDeleted = nullptr;
  list_.OnCleared = nullptr;
  list_.OnSelected = nullptr;
  if (PlayerWindows().List == this) PlayerWindows().List = nullptr;
}

std::filesystem::path TFormList::PlayListFile() const {
  return std::filesystem::path(ProgramFolder()) / kPlayListFileName;
}

void TFormList::FormCreate() {
  bool visible = false;
  if (settings_) {
    SetBounds(settings_->ReadInteger(kSection, "Left", kDesignLeft), settings_->ReadInteger(kSection, "Top", kDesignTop),
              Width(), Height());
    visible = settings_->ReadBool(kSection, "Visible", false);
  }
  SendMessageW(ListBox1->Handle(), LB_SETHORIZONTALEXTENT, WPARAM(ListBox1->Width() * 2), 0);
  DragAcceptFiles(Handle(), TRUE);
  list_.Load(ReadPlayListFile(PlayListFile()));
  list_.SettleAfterAdd(tav::engine::PlayIndex);
  if (visible) Show();
}

void TFormList::FormDestroy() {
  // Each step on its own: a failed settings write still saves the list.
  try {
    if (settings_) {
      settings_->WriteInteger(kSection, "Left", Left());
      settings_->WriteInteger(kSection, "Top", Top());
    }
  } catch (...) {
  }
  try {
    SavePlayList();
  } catch (...) {
  }
}

void TFormList::SavePlayList() { WritePlayListFile(PlayListFile(), list_.Paths()); }

void TFormList::WriteVisible(bool visible) {
  try {
    if (settings_) settings_->WriteBool(kSection, "Visible", visible);
  } catch (...) {
  }
}

bool TFormList::MyDrags(TMessage& message) {
  const auto drop = reinterpret_cast<HDROP>(message.WParam);
  const int n = GetDropFileCount(drop);
  for (int k = 1; k <= n; ++k) list_.Add(GetDropFileName(drop, k));
  list_.SettleAfterDrop(tav::engine::PlayIndex);
  DragFinish(drop);
  message.Result = 0;
  return true;
}

void TFormList::muAddFileClick() {
  dgAddF.Title = L"选择需要添加的文件,可多选";
  dgAddF.FileName.clear();
  dgAddF.Filter = Widen(tav::engine::OpenFilter);
  dgAddF.Options = ofAllowMultiSelect | ofHideReadOnly | ofPathMustExist | ofFileMustExist;
  dgAddF.Owner = Handle();
  if (!dgAddF.Execute()) return;
  for (const auto& f : dgAddF.Files) list_.Add(WideToAnsi(f));
  list_.SettleAfterAdd(tav::engine::PlayIndex);
}

void TFormList::mudelsClick() {
  if (list_.Empty()) return;
  list_.DeleteSelected();
  list_.SettleAfterDelete(tav::engine::PlayIndex);
}

void TFormList::PlayEntry(int i) {
  if (!list_.InRange(i)) return;
  const std::string path = list_.Path(i);
  if (!tav::engine::OpenStream(path, false)) return;
  if (PlayerWindows().Main) PlayerWindows().Main->SendPlays(path);
  tav::engine::PlayIndex = i;
}

}  // namespace tav::player
