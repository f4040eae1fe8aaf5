#include "toolkit/win32/comctrls.h"

#include <algorithm>

#include <commctrl.h>

namespace tav {


// --- TListView ---------------------------------------------------------------

TListView::TListView(TWinControl* parent)
    : TStdControl(parent, Params(WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                                 WS_EX_CLIENTEDGE, 250, 150)) {
  ListView_SetExtendedListViewStyle(Handle(), LVS_EX_FULLROWSELECT);
  SetColor(clWindow);
}

void TListView::AddColumn(std::wstring_view caption, int width) {
  std::wstring text(caption);
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  c.pszText = text.data();
  c.cx = width;
  c.iSubItem = columns_;
  SendMessageW(Handle(), LVM_INSERTCOLUMNW, columns_, reinterpret_cast<LPARAM>(&c));
  ++columns_;
}

int TListView::AddItem(std::wstring_view caption, const std::vector<std::wstring>& subItems) {
  std::wstring text(caption);
  LVITEMW it{};
  it.mask = LVIF_TEXT;
  it.iItem = Count();
  it.pszText = text.data();
  const int row = static_cast<int>(SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it)));
  for (size_t i = 0; i < subItems.size(); ++i) SetCell(row, static_cast<int>(i) + 1, subItems[i]);
  return row;
}

void TListView::SetCell(int row, int column, std::wstring_view text) {
  std::wstring t(text);
  LVITEMW it{};
  it.iSubItem = column;
  it.pszText = t.data();
  SendMessageW(Handle(), LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&it));
}

std::wstring TListView::Cell(int row, int column) const {
  wchar_t buf[1024] = {};
  LVITEMW it{};
  it.iSubItem = column;
  it.pszText = buf;
  it.cchTextMax = 1024;
  SendMessageW(Handle(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&it));
  return buf;
}

void TListView::DeleteItem(int row) { SendMessageW(Handle(), LVM_DELETEITEM, row, 0); }
void TListView::Clear() { SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0); }
int TListView::Count() const { return static_cast<int>(SendMessageW(Handle(), LVM_GETITEMCOUNT, 0, 0)); }

int TListView::ItemIndex() const {
  return static_cast<int>(SendMessageW(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void TListView::SetItemIndex(int row) {
  LVITEMW it{};
  it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  it.state = 0;
  SendMessageW(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
  if (row < 0 || row >= Count()) return;
  it.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(Handle(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&it));
  SendMessageW(Handle(), LVM_ENSUREVISIBLE, row, FALSE);
}

LRESULT TListView::NotifyNotify(NMHDR* h) {
  switch (h->code) {
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(h);
      if ((nm->uChanged & LVIF_STATE) && ((nm->uOldState ^ nm->uNewState) & LVIS_SELECTED) && OnSelectItem)
        OnSelectItem(this, nm->iItem, (nm->uNewState & LVIS_SELECTED) != 0);
      break;
    }
    case NM_CLICK: Click(); break;
    case NM_DBLCLK: DblClick(); break;
    default: break;
  }
  return 0;
}

// --- TPageControl ------------------------------------------------------------

TPageControl::TPageControl(TWinControl* parent)
    : TStdControl(parent, Params(WC_TABCONTROLW, WS_TABSTOP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, 289, 193)) {}

TRect TPageControl::PageRect() const {
  RECT r;
  GetClientRect(Handle(), &r);
  SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  return {r.left, r.top, r.right, r.bottom};
}

int TPageControl::ActivePageIndex() const { return static_cast<int>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0)); }

void TPageControl::SetActivePageIndex(int i) {
  if (i < 0 || i >= PageCount()) return;
  SendMessageW(Handle(), TCM_SETCURSEL, i, 0);
  ShowActive();
}

TTabSheet* TPageControl::AddPage(std::wstring_view caption) {
  ownedPages_.push_back(std::make_unique<TTabSheet>(this, caption));
  return ownedPages_.back().get();
}

TTabSheet* TPageControl::ActivePage() const {
  const int i = ActivePageIndex();
  return i >= 0 && i < PageCount() ? pages_[i] : nullptr;
}

void TPageControl::ShowActive() {
  const int active = ActivePageIndex();
  const TRect r = PageRect();
  for (int i = 0; i < PageCount(); ++i) {
    pages_[i]->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    pages_[i]->SetVisible(i == active);
  }
}

void TPageControl::Resized() { ShowActive(); }

LRESULT TPageControl::NotifyNotify(NMHDR* h) {
  if (h->code == TCN_SELCHANGING && OnChanging) OnChanging(this);
  if (h->code == TCN_SELCHANGE) {
    ShowActive();
    if (OnChange) OnChange(this);
  }
  return 0;
}

namespace {
TCreateParams SheetParams() {
  TCreateParams p;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  p.ExStyle = WS_EX_CONTROLPARENT;
  return p;
}
}  // namespace

TTabSheet::TTabSheet(TPageControl* pages, std::wstring_view caption)
    : TCustomControl(pages, SheetParams()), pages_(pages) {
  SetTabStop(false);
  SetCaption(caption);
  pages->pages_.push_back(this);
  std::wstring text(caption);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  const int index = pages->PageCount() - 1;
  SendMessageW(pages->Handle(), TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
  if (index == 0) SendMessageW(pages->Handle(), TCM_SETCURSEL, 0, 0);
  pages->ShowActive();
}

TTabSheet::~TTabSheet() {
  auto& v = pages_->pages_;
  const auto it = std::find(v.begin(), v.end(), this);
  if (it == v.end()) return;
  if (pages_->Handle()) SendMessageW(pages_->Handle(), TCM_DELETEITEM, it - v.begin(), 0);
  v.erase(it);
}

int TTabSheet::PageIndex() const {
  const auto& v = pages_->pages_;
  return static_cast<int>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TTabSheet::TextChanged() {
  std::wstring text = Caption();
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  if (PageIndex() < pages_->PageCount())
    SendMessageW(pages_->Handle(), TCM_SETITEMW, PageIndex(), reinterpret_cast<LPARAM>(&item));
}

// --- TProgressBar ------------------------------------------------------------

TProgressBar::TProgressBar(TWinControl* parent) : TStdControl(parent, Params(PROGRESS_CLASSW, 0, 0, 150, 16)) {
  SetRange(0, 100);
}

void TProgressBar::SetRange(int min, int max) {
  min_ = min, max_ = max;
  SendMessageW(Handle(), PBM_SETRANGE32, min, max);
}

void TProgressBar::SetPosition(int p) {
  position_ = std::clamp(p, min_, max_);
  SendMessageW(Handle(), PBM_SETPOS, position_, 0);
}

}  // namespace tav
