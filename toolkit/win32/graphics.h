// Colours, fonts, pens, brushes, the canvas over a device context and 32-bit
// DIB bitmaps. GDI objects are created once per setting and cached, so
// painting makes none per frame.
#pragma once
#include <memory>
#include <stdexcept>
#include <string>

#include <windows.h>

#include "toolkit/core/pixels.h"
#include "toolkit/win32/base.h"

namespace tav {

// TColor: 0x00BBGGRR, or a system colour 0x800000nn (nn = COLOR_ index).
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clSilver = 0xC0C0C0, clGray = 0x808080,
                 clRed = 0x0000FF, clLime = 0x00FF00, clBlue = 0xFF0000, clYellow = 0x00FFFF,
                 clNavy = 0x800000, clMaroon = 0x000080, clAqua = 0xFFFF00, clFuchsia = 0xFF00FF,
                 clTeal = 0x808000, clOlive = 0x008080, clGreen = 0x008000, clPurple = 0x800080;
constexpr TColor clBtnFace = 0x8000000F, clWindow = 0x80000005, clWindowText = 0x80000008,
                 clBtnText = 0x80000012, cl3DDkShadow = 0x80000015, cl3DLight = 0x80000016,
                 clHighlight = 0x8000000D, clBtnShadow = 0x80000010, clGrayText = 0x80000011,
                 clBtnHighlight = 0x80000014, clInfoBk = 0x80000018, clActiveCaption = 0x80000002;
constexpr TColor clNone = 0x1FFFFFFF;
COLORREF ColorToRGB(TColor c);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont {
 public:
  TFont() = default;
  TFont(const TFont& other) = default;
  TFont& operator=(const TFont& other) = default;
  void Assign(const TFont& other) { *this = other; }
  bool operator==(const TFont&) const = default;

  std::wstring Name() const { return name_; }
  void SetName(std::wstring name) { name_ = std::move(name); }
  int Size() const { return size_; }  // points
  void SetSize(int points) { size_ = points; }
  unsigned Style() const { return style_; }
  void SetStyle(unsigned style) { style_ = style; }
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  // The shared handle of this face, size and style; fonts are made once per
  // setting and kept for the life of the module.
  HFONT Handle() const;

 private:
  std::wstring name_ = L"Tahoma";
  int size_ = 8;
  unsigned style_ = 0;
  TColor color_ = clWindowText;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle s) { style_ = s; }
  HBRUSH Handle() const;

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

enum TPenStyle { psSolid, psDot, psClear };

class TPen {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  int Width() const { return width_; }
  void SetWidth(int w) { width_ = w; }
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle s) { style_ = s; }
  HPEN Handle() const;

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
};

// Shared GDI objects, one per colour (and width), made on first use.
HBRUSH CachedBrush(TColor c);
HPEN CachedPen(TColor c, int width, TPenStyle style = psSolid);

class TBitmap;

class TCanvas {
 public:
  TCanvas() = default;
  explicit TCanvas(HDC dc) { SetHandle(dc); }
  virtual ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  HDC Handle() const { return dc_; }
  void SetHandle(HDC dc);
  // Puts back the objects the canvas found selected in its device context.
  void ResetSelection();

  TFont Font;
  TBrush Brush;
  TPen Pen;

  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Rectangle(const TRect& r);
  void Ellipse(const TRect& r);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const TPoint* points, int count);
  void Polygon(const TPoint* points, int count);
  void Pie(const TRect& r, TPoint start, TPoint end);
  void Arc(const TRect& r, TPoint start, TPoint end);
  // With a solid brush the text has an opaque background of the brush colour.
  void TextOut(int x, int y, std::wstring_view text);
  int TextWidth(std::wstring_view text);
  int TextHeight(std::wstring_view text);
  void Draw(int x, int y, const TBitmap& bitmap);
  // Every pixel of the key colour leaves the canvas unchanged; an empty
  // source rectangle means the whole bitmap.
  void DrawTransparent(const TBitmap& bitmap, TRect source, int x, int y, TColor key);
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  void DrawFocusRect(const TRect& r);
  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor c);

  // The pixels under the canvas when it draws on a DIB bitmap, else empty.
  virtual PixelView Pixels() const { return {}; }

 protected:
  void Select();

 private:
  HDC dc_ = nullptr;
  HGDIOBJ oldFont_ = nullptr, oldPen_ = nullptr, oldBrush_ = nullptr;
  bool selected_ = false;
};

enum TPixelFormat { pf24bit, pf32bit };

// A device-independent bitmap, top-down rows of 32-bit pixels, with a memory
// canvas selected on it.
class TBitmap {
 public:
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  void SetSize(int width, int height);
  TPixelFormat PixelFormat() const { return format_; }
  void SetPixelFormat(TPixelFormat f) { format_ = f; }
  HBITMAP Handle() const { return bitmap_; }
  PixelView Pixels() const { return {bits_, width_, height_, width_}; }
  TCanvas& Canvas();

  void Assign(const TBitmap& other);
  // Loads a BITMAP resource of a module; returns false when there is none.
  bool LoadFromResourceName(HINSTANCE module, const wchar_t* name);
  bool LoadFromFile(const std::wstring& path);
  // Writes a 24-bit BMP file; throws EOSError on failure.
  void SaveToFile(const std::wstring& path) const;
  // Copies any GDI bitmap in.
  void AssignHandle(HBITMAP source);

 private:
  class BitmapCanvas;
  void Free();
  int width_ = 0, height_ = 0;
  TPixelFormat format_ = pf32bit;
  HBITMAP bitmap_ = nullptr;
  uint32_t* bits_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
};

// A picture that is no icon, or an icon that cannot be made.
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An icon that owns its handle: loaded from an .ico file or from a module's
// resources, or a copy of another icon. OnChange runs after every change of
// the picture (a form shows its new icon, a tray icon updates).
class TIcon : public TObject {
 public:
  TIcon() = default;
  TIcon(const TIcon& other);  // the picture, not the handler
  TIcon& operator=(const TIcon& other);
  ~TIcon() override;

  HICON Handle() const { return handle_; }
  bool Empty() const { return handle_ == nullptr; }
  int Width() const;
  int Height() const;
  // Takes the handle over (it is destroyed with the icon); none empties it.
  void SetHandle(HICON icon);
  // Gives the handle away; the icon is empty after.
  HICON ReleaseHandle();
  void Assign(const TIcon& other) { *this = other; }
  // The first picture of the file, or the one of that size. Throws
  // EFOpenError when the file cannot be read and EInvalidGraphic when it is
  // no icon; the icon is unchanged then.
  void LoadFromFile(const std::wstring& path, int size = 0);
  // An icon resource of a module at that size (0: the system's icon size);
  // false when the module has none of that name.
  bool LoadFromResourceName(HINSTANCE module, const wchar_t* name, int size = 0);
  TNotifyEvent OnChange;

 private:
  void Changed();
  HICON handle_ = nullptr;
};

// The screen's cursor table (cursors registered under a number, as the
// controls' Cursor property names them) and its facts.
class TScreen {
 public:
  void SetCursor(int id, HCURSOR cursor);
  HCURSOR Cursor(int id) const;
  // The whole desktop, every monitor together.
  TRect DesktopRect() const;
  // The work area of the primary monitor (without the taskbar).
  TRect WorkAreaRect() const;
  // Logical pixels per inch of the screen (96 at the normal text size).
  int PixelsPerInch() const;
};
TScreen& Screen();

constexpr int crDefault = 0, crHandPoint = -21, crArrow = -2;

}  // namespace tav
