#include "toolkit/win32/graphics.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "toolkit/core/icon_file.h"
#include "toolkit/win32/streams.h"

namespace tav {

COLORREF ColorToRGB(TColor c) {
  if (c & 0x80000000) return GetSysColor(static_cast<int>(c & 0xFF));
  return c & 0xFFFFFF;
}

// --- shared GDI objects ------------------------------------------------------

namespace {

// Deletes what it holds when the module unloads.
template <class Key>
class GdiCache {
 public:
  ~GdiCache() {
    for (auto& [k, h] : objects_) DeleteObject(h);
  }
  template <class Make>
  HGDIOBJ Get(const Key& key, Make make) {
    auto it = objects_.find(key);
    if (it != objects_.end()) return it->second;
    HGDIOBJ h = make();
    if (h) objects_.emplace(key, h);
    return h;
  }

 private:
  std::map<Key, HGDIOBJ> objects_;
};

}  // namespace

HFONT TFont::Handle() const {
  static GdiCache<std::tuple<std::wstring, int, unsigned>> cache;
  return static_cast<HFONT>(cache.Get({name_, size_, style_}, [&] {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(size_, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style_ & fsItalic) != 0;
    lf.lfUnderline = (style_ & fsUnderline) != 0;
    lf.lfStrikeOut = (style_ & fsStrikeOut) != 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, name_.c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&lf);
  }));
}

HBRUSH CachedBrush(TColor c) {
  static GdiCache<COLORREF> cache;
  const COLORREF rgb = ColorToRGB(c);
  return static_cast<HBRUSH>(cache.Get(rgb, [&] { return CreateSolidBrush(rgb); }));
}

HPEN CachedPen(TColor c, int width, TPenStyle style) {
  static GdiCache<std::tuple<COLORREF, int, int>> cache;
  const COLORREF rgb = ColorToRGB(c);
  return static_cast<HPEN>(cache.Get({rgb, width, int(style)}, [&] {
    const int ps = style == psDot ? PS_DOT : style == psClear ? PS_NULL : PS_SOLID;
    return CreatePen(ps, width, rgb);
  }));
}

HBRUSH TBrush::Handle() const {
  if (style_ == bsClear) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  return CachedBrush(color_);
}

HPEN TPen::Handle() const { return CachedPen(color_, width_, style_); }

// --- TCanvas -----------------------------------------------------------------

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::SetHandle(HDC dc) {
  ResetSelection();
  dc_ = dc;
}

void TCanvas::ResetSelection() {
  if (dc_ && selected_) {
    SelectObject(dc_, oldFont_);
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
  }
  selected_ = false;
}

void TCanvas::Select() {
  HGDIOBJ f = SelectObject(dc_, Font.Handle());
  HGDIOBJ p = SelectObject(dc_, Pen.Handle());
  HGDIOBJ b = SelectObject(dc_, Brush.Handle());
  if (!selected_) {
    oldFont_ = f, oldPen_ = p, oldBrush_ = b;
    selected_ = true;
  }
  SetTextColor(dc_, ColorToRGB(Font.Color()));
}

void TCanvas::FillRect(const TRect& r) {
  Select();
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  ::FillRect(dc_, &rc, Brush.Handle());
}

void TCanvas::FrameRect(const TRect& r) {
  Select();
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  ::FrameRect(dc_, &rc, Brush.Handle());
}

void TCanvas::Rectangle(const TRect& r) {
  Select();
  ::Rectangle(dc_, r.Left, r.Top, r.Right, r.Bottom);
}

void TCanvas::Ellipse(const TRect& r) {
  Select();
  ::Ellipse(dc_, r.Left, r.Top, r.Right, r.Bottom);
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(dc_, x, y, nullptr); }

void TCanvas::LineTo(int x, int y) {
  Select();
  ::LineTo(dc_, x, y);
}

void TCanvas::Polyline(const TPoint* points, int count) {
  Select();
  static_assert(sizeof(POINT) == sizeof(TPoint));
  ::Polyline(dc_, reinterpret_cast<const POINT*>(points), count);
}

void TCanvas::Polygon(const TPoint* points, int count) {
  Select();
  ::Polygon(dc_, reinterpret_cast<const POINT*>(points), count);
}

void TCanvas::Pie(const TRect& r, TPoint s, TPoint e) {
  Select();
  ::Pie(dc_, r.Left, r.Top, r.Right, r.Bottom, s.X, s.Y, e.X, e.Y);
}

void TCanvas::Arc(const TRect& r, TPoint s, TPoint e) {
  Select();
  ::Arc(dc_, r.Left, r.Top, r.Right, r.Bottom, s.X, s.Y, e.X, e.Y);
}

void TCanvas::TextOut(int x, int y, std::wstring_view text) {
  Select();
  if (Brush.Style() == bsSolid) {
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, ColorToRGB(Brush.Color()));
  } else {
    SetBkMode(dc_, TRANSPARENT);
  }
  ::TextOutW(dc_, x, y, text.data(), static_cast<int>(text.size()));
}

int TCanvas::TextWidth(std::wstring_view text) {
  Select();
  SIZE s{};
  GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &s);
  return s.cx;
}

int TCanvas::TextHeight(std::wstring_view text) {
  Select();
  SIZE s{};
  GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &s);
  return s.cy;
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  // The bitmap stays selected in its own canvas; copy from there.
  HDC src = const_cast<TBitmap&>(bitmap).Canvas().Handle();
  BitBlt(dc_, x, y, bitmap.Width(), bitmap.Height(), src, 0, 0, SRCCOPY);
}

void TCanvas::DrawTransparent(const TBitmap& bitmap, TRect s, int x, int y, TColor key) {
  if (bitmap.Empty()) return;
  if (s.IsEmpty()) s = {0, 0, bitmap.Width(), bitmap.Height()};
  s.Right = std::min(s.Right, bitmap.Width());
  s.Bottom = std::min(s.Bottom, bitmap.Height());
  s.Left = std::max(s.Left, 0);
  s.Top = std::max(s.Top, 0);
  if (s.IsEmpty()) return;
  const PixelView target = Pixels();
  if (target.Bits) {
    // Straight into the pixels: keep to the clip box and move by the origin
    // as GDI would (a windowless control draws on its parent's bitmap with
    // the origin moved to it and the clip cut to it).
    RECT clip;
    const int kind = GetClipBox(dc_, &clip);
    if (kind == NULLREGION) return;
    if (kind != ERROR) {
      const int left = std::max(x, int(clip.left)), top = std::max(y, int(clip.top));
      const int right = std::min(x + s.Width(), int(clip.right)), bottom = std::min(y + s.Height(), int(clip.bottom));
      if (right <= left || bottom <= top) return;
      s = {s.Left + left - x, s.Top + top - y, s.Left + right - x, s.Top + bottom - y};
      x = left, y = top;
    }
    POINT origin{};
    GetViewportOrgEx(dc_, &origin);
    GdiFlush();
    tav::DrawTransparent(bitmap.Pixels(), s, target, x + origin.x, y + origin.y, ColorToRGB(key));
    return;
  }
  // Any other canvas: take the pixels under the picture, draw on them, put them back.
  TBitmap under(s.Width(), s.Height());
  BitBlt(under.Canvas().Handle(), 0, 0, s.Width(), s.Height(), dc_, x, y, SRCCOPY);
  GdiFlush();
  tav::DrawTransparent(bitmap.Pixels(), s, under.Pixels(), 0, 0, ColorToRGB(key));
  BitBlt(dc_, x, y, s.Width(), s.Height(), under.Canvas().Handle(), 0, 0, SRCCOPY);
}

void TCanvas::CopyRect(const TRect& d, TCanvas& source, const TRect& s) {
  if (d.Width() == s.Width() && d.Height() == s.Height())
    BitBlt(dc_, d.Left, d.Top, d.Width(), d.Height(), source.Handle(), s.Left, s.Top, SRCCOPY);
  else
    StretchBlt(dc_, d.Left, d.Top, d.Width(), d.Height(), source.Handle(), s.Left, s.Top, s.Width(),
               s.Height(), SRCCOPY);
}

void TCanvas::DrawFocusRect(const TRect& r) {
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  ::DrawFocusRect(dc_, &rc);
}

TColor TCanvas::Pixel(int x, int y) { return GetPixel(dc_, x, y); }
void TCanvas::SetPixel(int x, int y, TColor c) { ::SetPixel(dc_, x, y, ColorToRGB(c)); }

// --- TBitmap -----------------------------------------------------------------

class TBitmap::BitmapCanvas : public TCanvas {
 public:
  explicit BitmapCanvas(TBitmap& owner) : owner_(owner) {}
  PixelView Pixels() const override {
    GdiFlush();
    return owner_.Pixels();
  }

 private:
  TBitmap& owner_;
};

TBitmap::TBitmap() = default;
TBitmap::TBitmap(int width, int height) { SetSize(width, height); }
TBitmap::~TBitmap() { Free(); }

void TBitmap::Free() {
  canvas_.reset();
  if (dc_) {
    SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
  }
  if (bitmap_) DeleteObject(bitmap_);
  dc_ = nullptr;
  bitmap_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_ && (bitmap_ || width == 0 || height == 0)) return;
  Free();
  width_ = width;
  height_ = height;
  if (width == 0 || height == 0) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap_) {
    width_ = height_ = 0;
    RaiseLastOSError("CreateDIBSection");
  }
  bits_ = static_cast<uint32_t*>(bits);
  std::fill_n(bits_, static_cast<size_t>(width) * height, 0u);
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<BitmapCanvas>(*this);
    if (bitmap_) {
      dc_ = CreateCompatibleDC(nullptr);
      oldBitmap_ = SelectObject(dc_, bitmap_);
      canvas_->SetHandle(dc_);
    }
  }
  return *canvas_;
}

void TBitmap::Assign(const TBitmap& other) {
  if (&other == this) return;
  SetSize(other.width_, other.height_);
  format_ = other.format_;
  if (bits_) {
    GdiFlush();
    std::copy_n(other.bits_, static_cast<size_t>(width_) * height_, bits_);
  }
}

void TBitmap::AssignHandle(HBITMAP source) {
  BITMAP info{};
  if (!source || !GetObjectW(source, sizeof(info), &info)) {
    SetSize(0, 0);
    return;
  }
  SetSize(info.bmWidth, std::abs(info.bmHeight));
  format_ = info.bmBitsPixel == 32 ? pf32bit : pf24bit;
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, source);
  BitBlt(Canvas().Handle(), 0, 0, width_, height_, src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
  GdiFlush();
}

bool TBitmap::LoadFromResourceName(HINSTANCE module, const wchar_t* name) {
  HBITMAP h = static_cast<HBITMAP>(LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!h) return false;
  AssignHandle(h);
  DeleteObject(h);
  return true;
}

bool TBitmap::LoadFromFile(const std::wstring& path) {
  HBITMAP h = static_cast<HBITMAP>(
      LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE));
  if (!h) return false;
  AssignHandle(h);
  DeleteObject(h);
  return true;
}

void TBitmap::SaveToFile(const std::wstring& path) const {
  GdiFlush();
  const int rowBytes = (width_ * 3 + 3) & ~3;
  const DWORD dataSize = static_cast<DWORD>(rowBytes) * height_;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = fh.bfOffBits + dataSize;
  ih.biSize = sizeof(ih);
  ih.biWidth = width_;
  ih.biHeight = height_;  // bottom-up
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biSizeImage = dataSize;
  std::vector<uint8_t> data(dataSize);
  for (int y = 0; y < height_; ++y) {
    const uint32_t* row = bits_ + static_cast<size_t>(height_ - 1 - y) * width_;
    uint8_t* out = data.data() + static_cast<size_t>(y) * rowBytes;
    for (int x = 0; x < width_; ++x) {
      out[x * 3] = row[x] & 0xFF;
      out[x * 3 + 1] = (row[x] >> 8) & 0xFF;
      out[x * 3 + 2] = (row[x] >> 16) & 0xFF;
    }
  }
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) RaiseLastOSError("CreateFile");
  DWORD written = 0;
  const bool ok = WriteFile(f, &fh, sizeof(fh), &written, nullptr) && WriteFile(f, &ih, sizeof(ih), &written, nullptr) &&
                  WriteFile(f, data.data(), dataSize, &written, nullptr) && written == dataSize;
  const DWORD err = GetLastError();
  CloseHandle(f);
  if (!ok) throw EOSError("WriteFile", err);
}

// --- TIcon -------------------------------------------------------------------

TIcon::TIcon(const TIcon& other) : handle_(other.handle_ ? CopyIcon(other.handle_) : nullptr) {}

TIcon& TIcon::operator=(const TIcon& other) {
  if (&other != this) SetHandle(other.handle_ ? CopyIcon(other.handle_) : nullptr);
  return *this;
}

TIcon::~TIcon() {
  if (handle_) DestroyIcon(handle_);
}

namespace {
SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return {0, 0};
  BITMAP bm{};
  SIZE s{0, 0};
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
    s = {bm.bmWidth, bm.bmHeight};
  } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
    s = {bm.bmWidth, bm.bmHeight / 2};  // a monochrome icon: mask over image
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return s;
}
}  // namespace

int TIcon::Width() const { return IconSize(handle_).cx; }
int TIcon::Height() const { return IconSize(handle_).cy; }

void TIcon::SetHandle(HICON icon) {
  if (icon == handle_) return;
  if (handle_) DestroyIcon(handle_);
  handle_ = icon;
  Changed();
}

HICON TIcon::ReleaseHandle() {
  HICON h = handle_;
  handle_ = nullptr;
  if (h) Changed();
  return h;
}

void TIcon::Changed() {
  if (OnChange) OnChange(this);
}

void TIcon::LoadFromFile(const std::wstring& path, int size) {
  std::vector<uint8_t> bytes;
  {
    TFileStream file(path, fmOpenRead);
    const int64_t n = file.Size();
    if (n > 16 * 1024 * 1024) throw EInvalidGraphic("Not an icon file: " + Narrow(path));
    bytes.resize(static_cast<size_t>(n));
    file.ReadBuffer(bytes.data(), bytes.size());
  }
  const auto images = ReadIconDirectory(bytes.data(), bytes.size());
  if (!images) throw EInvalidGraphic("Not an icon file: " + Narrow(path));
  const IconImage& im = (*images)[ChooseIconImage(*images, size)];
  HICON icon = CreateIconFromResourceEx(bytes.data() + im.Offset, im.Size, TRUE, 0x00030000, im.Width, im.Height,
                                        LR_DEFAULTCOLOR);
  if (!icon) throw EInvalidGraphic("Cannot make an icon of " + Narrow(path));
  SetHandle(icon);
}

bool TIcon::LoadFromResourceName(HINSTANCE module, const wchar_t* name, int size) {
  HICON icon = static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, size, size, size ? 0 : LR_DEFAULTSIZE));
  if (!icon) return false;
  SetHandle(icon);
  return true;
}

// --- TScreen -----------------------------------------------------------------

namespace {
std::map<int, HCURSOR>& CursorTable() {
  static std::map<int, HCURSOR> table;
  return table;
}
}  // namespace

void TScreen::SetCursor(int id, HCURSOR cursor) { CursorTable()[id] = cursor; }

HCURSOR TScreen::Cursor(int id) const {
  auto it = CursorTable().find(id);
  if (it != CursorTable().end()) return it->second;
  if (id == crHandPoint) return LoadCursorW(nullptr, IDC_HAND);
  return LoadCursorW(nullptr, IDC_ARROW);
}

TRect TScreen::DesktopRect() const {
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

TRect TScreen::WorkAreaRect() const {
  RECT r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return {r.left, r.top, r.right, r.bottom};
}

int TScreen::PixelsPerInch() const {
  HDC screen = GetDC(nullptr);
  const int ppi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return ppi;
}

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

}  // namespace tav
