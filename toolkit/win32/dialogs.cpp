#include "toolkit/win32/dialogs.h"

#include <commdlg.h>
#include <shlobj.h>

#include "toolkit/core/file_filter.h"

namespace tav {

bool TOpenDialog::Execute() { return Run(false); }

bool TOpenDialog::Run(bool save) {
  const std::u16string filter16 = DialogFilterFromText(std::u16string(Filter.begin(), Filter.end()));
  const std::wstring filter(filter16.begin(), filter16.end());
  const std::u16string ext16 = NormalisedDefaultExtension(std::u16string(DefaultExt.begin(), DefaultExt.end()));
  const std::wstring ext(ext16.begin(), ext16.end());
  std::vector<wchar_t> buffer(64 * 1024, L'\0');
  FileName.copy(buffer.data(), std::min(FileName.size(), buffer.size() - 2));

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = Owner ? Owner : GetActiveWindow();
  ofn.lpstrFilter = Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = FilterIndex;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = InitialDir.empty() ? nullptr : InitialDir.c_str();
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING;
  if (Options & ofAllowMultiSelect) ofn.Flags |= OFN_ALLOWMULTISELECT;
  if (Options & ofFileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (Options & ofPathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
  if (Options & ofOverwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
  if (Options & ofHideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
  if (Options & ofNoChangeDir) ofn.Flags |= OFN_NOCHANGEDIR;
  if (Options & ofNoTestFileCreate) ofn.Flags |= OFN_NOTESTFILECREATE;
  if (Options & ofDontAddToRecent) ofn.Flags |= OFN_DONTADDTORECENT;

  const BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  DialogError = ok ? 0 : CommDlgExtendedError();
  if (!ok) return false;
  FilterIndex = static_cast<int>(ofn.nFilterIndex);
  Files.clear();
  // With several files: the folder, then each name, NUL-separated.
  const std::wstring first(buffer.data());
  const wchar_t* p = buffer.data() + first.size() + 1;
  if ((Options & ofAllowMultiSelect) && *p) {
    std::wstring dir = first;
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    while (*p) {
      std::wstring name(p);
      Files.push_back(dir + name);
      p += name.size() + 1;
    }
  } else {
    Files.push_back(first);
  }
  FileName = Files.front();
  return true;
}

namespace {
int CALLBACK BrowseCallback(HWND h, UINT msg, LPARAM, LPARAM data) {
  if (msg == BFFM_INITIALIZED && data && *reinterpret_cast<const wchar_t*>(data))
    SendMessageW(h, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}
}  // namespace

bool SelectDirectory(std::wstring_view caption, std::wstring& directory, HWND owner) {
  const std::wstring title(caption);
  wchar_t path[MAX_PATH] = {};
  BROWSEINFOW bi{};
  bi.hwndOwner = owner ? owner : GetActiveWindow();
  bi.lpszTitle = title.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  bi.lParam = reinterpret_cast<LPARAM>(directory.c_str());
  bi.lpfn = BrowseCallback;
  // a thread already in another apartment keeps it: only a successful call is undone
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&bi);
  bool ok = false;
  if (list) {
    ok = SHGetPathFromIDListW(list, path) != FALSE;
    CoTaskMemFree(list);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  if (ok) directory = path;
  return ok;
}

int ShowMessageBox(std::wstring_view text, std::wstring_view caption, UINT flags) {
  const std::wstring t(text), c(caption);
  return MessageBoxW(GetActiveWindow(), t.c_str(), c.c_str(), flags);
}

}  // namespace tav
