#include "player/win32/form_list.h"

#include <shellapi.h>

#include "player/core/display_texts.h"
#include "player/win32/ansi_text.h"
#include "player/win32/drop_files.h"
#include "player/win32/form_main.h"
#include "player/win32/look.h"
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

TButton* MakeButton(TWinControl* parent, const TRect& where, const wchar_t* caption, const wchar_t* hint) {
  auto* b = Placed<TButton>(parent, where, caption);
  b->SetHint(hint);
  b->SetShowHint(true);
  return b;
}

}  // namespace

TFormList::TFormList(TPlayListModel& list, ISettingsStore* settings, IStreamOpened& main, int32_t& playIndex)
    : list_(list),
      store_(std::filesystem::path(ProgramFolder()) / L"PlayList.m3u"),
      controller_(list, *this, store_, *this, main, settings, playIndex) {
  SetCaption(L"播放列表");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  SetClientSize(kClientWidth, kClientHeight);
  SetBounds(kListDesignPlace.Left, kListDesignPlace.Top, Width(), Height());

  ListBox1 = Placed<TListBox>(this, kListBox);
  ListBox1->PopupMenu = &PopupMenu1;
  ListBox1->SetColor(cl3DDkShadow);
  ListBox1->OnDblClick = [this](TObject*) { PlayEntry(ListBox1->ItemIndex()); };
  ListBox1->OnClick = [this](TObject*) { list_.Select(ListBox1->ItemIndex()); };
  btninc = MakeButton(this, kBtnInc, L"+", L"添加音频文件");
  btninc->OnClick = [this](TObject*) { muAddFileClick(); };
  btndec = MakeButton(this, kBtnDec, L"-", L"删除列表里的一个条目");
  btndec->OnClick = [this](TObject*) { controller_.DeleteSelectedClick(); };

  auto& root = PopupMenu1.Items;
  muAddFile = root.Add(L"添加文件....", [this](TObject*) { muAddFileClick(); });
  mumPlays = root.Add(L"播放选中的文件", [this](TObject*) {
    if (list_.Selected() >= 0) PlayEntry(list_.Selected());
  });
  root.Add(L"-");
  TMenuItem* mudel0 = root.Add(L"删除");
  mudels = mudel0->Add(L"删除选中", [this](TObject*) { controller_.DeleteSelectedClick(); });
  mudeladd = mudel0->Add(L"删除全部", [this](TObject*) { list_.Clear(); });
  mumsave = root.Add(L"立即保存当前播放列表状态", [this](TObject*) { SavePlayList(); });

  // The list box mirrors the model.
  list_.OnAdded = [this](int i) { ListBox1->Add(ShownName(i)); };
  list_.OnDeleted = [this](int i) { ListBox1->Delete(i); };
  list_.OnCleared = [this] { ListBox1->Clear(); };
  list_.OnSelected = [this](int i) { ListBox1->SetItemIndex(i); };

  // A list file that cannot be read reaches the toolkit's exception box.
  OnCreate = [this](TObject*) { controller_.FormCreate(); };
  OnDestroy = [this](TObject*) { controller_.FormDestroy(); };
  OnShow = [this](TObject*) { controller_.WriteVisible(Visible()); };
  OnClose = [this](TObject*, TCloseAction&) { controller_.WriteVisible(false); };
  SetMessageHandler(WM_DROPFILES, [this](TMessage& m) { return MyDrags(m); });
}

TFormList::~TFormList() {
  list_.OnAdded = nullptr;
  list_.OnDeleted = nullptr;
  list_.OnCleared = nullptr;
  list_.OnSelected = nullptr;
}

std::wstring TFormList::ShownName(int i) const {
  // The entry's number as the list gives it, then the file's name as the
  // user named it (a short name in its long form).
  const std::string& name = list_.Name(i);
  const std::string_view file = FileNameOf(list_.Path(i));
  return AnsiToWide(std::string_view(name).substr(0, name.size() - file.size())) + ShownFileName(list_.Path(i));
}

void TFormList::SetPlace(WindowPlace place) { SetBounds(place.Left, place.Top, Width(), Height()); }

WindowPlace TFormList::Place() { return {Left(), Top()}; }

void TFormList::ShowWindow() { Show(); }

void TFormList::PrepareList() {
  SendMessageW(ListBox1->Handle(), LB_SETHORIZONTALEXTENT, WPARAM(ListBox1->Width() * 2), 0);
  DragAcceptFiles(Handle(), TRUE);
}

bool TFormList::OpenFile(const std::string& path) { return tav::engine::OpenStream(path, false); }

bool TFormList::MyDrags(TMessage& message) {
  const auto drop = reinterpret_cast<HDROP>(message.WParam);
  std::vector<std::string> files;
  const int n = GetDropFileCount(drop);
  for (int k = 1; k <= n; ++k) files.push_back(GetDropFileName(drop, k));
  DragFinish(drop);
  controller_.FilesDropped(files);
  message.Result = 0;
  return true;
}

void TFormList::muAddFileClick() {
  dgAddF.Title = L"选择需要添加的文件,可多选";
  dgAddF.FileName.clear();
  dgAddF.Filter = Widen(tav::engine::PlayerSettings.OpenFilter);
  dgAddF.Options = ofAllowMultiSelect | ofHideReadOnly | ofPathMustExist | ofFileMustExist;
  dgAddF.Owner = Handle();
  if (!dgAddF.Execute()) return;
  std::vector<std::string> files;
  for (const auto& f : dgAddF.Files) files.push_back(AnsiFileName(f));
  controller_.FilesAdded(files);
}

}  // namespace tav::player
