// Common controls: list view in report style, page control with tab sheets,
// progress bar.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "toolkit/win32/controls.h"
#include "toolkit/win32/stdctrls.h"

namespace tav {

class TListView : public TStdControl {
 public:
  explicit TListView(TWinControl* parent);
  void AddColumn(std::wstring_view caption, int width);
  int ColumnCount() const { return columns_; }
  // Adds a row: its caption and the texts of the further columns.
  int AddItem(std::wstring_view caption, const std::vector<std::wstring>& subItems = {});
  void SetCell(int row, int column, std::wstring_view text);
  std::wstring Cell(int row, int column) const;
  void DeleteItem(int row);
  void Clear();
  int Count() const;
  int ItemIndex() const;  // the selected row or -1
  void SetItemIndex(int row);
  bool RowSelect = true;
  std::function<void(TObject* sender, int row, bool selected)> OnSelectItem;

 protected:
  LRESULT NotifyNotify(NMHDR* header) override;

 private:
  int columns_ = 0;
};

class TPageControl;

// One page: a container shown while its tab is the active one.
class TTabSheet : public TCustomControl {
 public:
  TTabSheet(TPageControl* pages, std::wstring_view caption);
  TPageControl* PageControl() const { return pages_; }
  int PageIndex() const;
  ~TTabSheet() override;
  void TextChanged() override;

 private:
  TPageControl* pages_;
};

class TPageControl : public TStdControl {
 public:
  explicit TPageControl(TWinControl* parent);
  // A new last page, owned by this control.
  TTabSheet* AddPage(std::wstring_view caption);
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int i) const { return pages_.at(i); }
  int ActivePageIndex() const;
  void SetActivePageIndex(int i);
  TTabSheet* ActivePage() const;
  TNotifyEvent OnChange, OnChanging;

 protected:
  LRESULT NotifyNotify(NMHDR* header) override;
  void Resized() override;

 private:
  friend class TTabSheet;
  void ShowActive();
  TRect PageRect() const;
  std::vector<TTabSheet*> pages_;
  // after pages_, so the pages go first and leave the list while it exists
  std::vector<std::unique_ptr<TTabSheet>> ownedPages_;
};

class TProgressBar : public TStdControl {
 public:
  explicit TProgressBar(TWinControl* parent);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetRange(int min, int max);
  void SetPosition(int p);

 private:
  int min_ = 0, max_ = 100, position_ = 0;
};

}  // namespace tav
