// Windows test helper: saves what a window (or the whole screen) shows as a
// 24-bit BMP below the build tree, for review. Header only.
//
// The folder is "screenshots" beside the generated media in the build tree
// (else beside the test program).
// scripts/run-tests.sh turns the BMPs into PNGs after the run.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tav/test/media.h"

namespace tav::test {

inline std::filesystem::path ScreenshotFolder() {
  std::filesystem::path dir;
  std::string media = MediaDir();  // <build>/media/, beside which the shots go
  if (media.size() > 1) {
    dir = std::filesystem::path(media.substr(0, media.size() - 1)).parent_path() / L"screenshots";
  } else {
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    dir = std::filesystem::path(std::wstring(buf, n)).parent_path() / L"screenshots";
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

// Copies the screen rectangle of `window` (its whole outer rectangle; nullptr
// for the whole screen) into "<name>.bmp". Paint the window first (UpdateWindow
// or a short message pump). Returns the file written, or an empty path.
inline std::filesystem::path SaveScreenshot(HWND window, const std::wstring& name) {
  RECT r{};
  if (window) {
    if (!GetWindowRect(window, &r)) return {};
  } else {
    r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return {};

  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;  // bottom-up, as BMP files store rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::filesystem::path file;
  if (dib && bits) {
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    SelectObject(mem, old);

    const uint32_t stride = (uint32_t(w) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * uint32_t(h);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;  // "BM"
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + imageSize;
    bi.bmiHeader.biSizeImage = imageSize;
    file = ScreenshotFolder() / (name + L".bmp");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
    out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
    out.write(static_cast<const char*>(bits), std::streamsize(imageSize));
    if (!out) file.clear();
  }
  if (dib) DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return file;
}

}  // namespace tav::test

#endif  // _WIN32
