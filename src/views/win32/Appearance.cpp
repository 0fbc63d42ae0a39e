// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/win32/Appearance.h"

#include <cmath>

#include "ResourceIds.h"
#include "forms/Control.h"
#include "views/win32/Wide.h"

namespace karvelo::views::win32 {

namespace {

constexpr int PointsPerInch = 72;

int screenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// The resource of a name that the model uses, or 0.
int resourceId(const std::string& name) {
  struct Named {
    const char* name;
    int id;
  };
  static constexpr Named table[] = {
      {"app", KARVELO_ICON_APP},           {"about", KARVELO_ICON_ABOUT},
      {"hand", KARVELO_CURSOR_HAND},       {"about-picture", KARVELO_BITMAP_ABOUT_PICTURE},
      {"xpstyle", KARVELO_BITMAP_XPSTYLE},
  };
  for (const Named& entry : table) {
    if (name == entry.name) return entry.id;
  }
  return 0;
}

// Measures text on the screen in a font; sizes in pixels.
class ScreenText {
 public:
  explicit ScreenText(HFONT font) : dc_(GetDC(nullptr)), old_(SelectObject(dc_, font)) {}
  ~ScreenText() {
    SelectObject(dc_, old_);
    ReleaseDC(nullptr, dc_);
  }
  ScreenText(const ScreenText&) = delete;
  ScreenText& operator=(const ScreenText&) = delete;
  HDC dc() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace

Appearance::Appearance() : scale_{screenDpi()} {}

Appearance::~Appearance() {
  for (auto& [key, font] : fonts_) DeleteObject(font);
  for (auto& [color, brush] : brushes_) {
    if (!forms::isSystemColor(color)) DeleteObject(brush);
  }
  for (auto& [name, bitmap] : pictures_) {
    if (bitmap) DeleteObject(bitmap);
  }
}

HFONT Appearance::font(const forms::TextFont& font) const {
  // A size in points becomes a character height in pixels at the screen's resolution.
  const FontKey key{font.face,
                    -static_cast<int>(std::lround(font.size * scale_.dpi / PointsPerInch)),
                    font.bold, font.italic};
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
  LOGFONTW description{};
  description.lfHeight = key.height;
  description.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  description.lfItalic = font.italic ? TRUE : FALSE;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfOutPrecision = OUT_DEFAULT_PRECIS;
  description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  description.lfQuality = DEFAULT_QUALITY;
  const std::wstring face = widen(font.face);
  face.copy(description.lfFaceName, LF_FACESIZE - 1);
  HFONT made = CreateFontIndirectW(&description);
  fonts_.emplace(key, made);
  return made;
}

COLORREF Appearance::color(forms::Color color) {
  if (forms::isSystemColor(color)) return GetSysColor(forms::systemColorIndex(color));
  return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

HBRUSH Appearance::brush(forms::Color color) {
  // The system's own brushes follow a change of the colour scheme and are never deleted.
  if (forms::isSystemColor(color)) return GetSysColorBrush(forms::systemColorIndex(color));
  if (auto it = brushes_.find(color); it != brushes_.end()) return it->second;
  HBRUSH made = CreateSolidBrush(Appearance::color(color));
  brushes_.emplace(color, made);
  return made;
}

HCURSOR Appearance::cursor(int pointer) {
  switch (pointer) {
    case forms::pointer::Hourglass:
      return LoadCursorW(nullptr, IDC_WAIT);
    case forms::pointer::Custom:
      return LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(KARVELO_CURSOR_HAND));
    default:
      return nullptr;
  }
}

HICON Appearance::icon(const std::string& name, int size) {
  const int id = resourceId(name);
  if (id == 0) return nullptr;
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                       size, size, LR_SHARED));
}

HBITMAP Appearance::picture(const std::string& name) {
  if (auto it = pictures_.find(name); it != pictures_.end()) return it->second;
  const int id = resourceId(name);
  HBITMAP bitmap =
      id == 0 ? nullptr
              : static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                                IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  pictures_.emplace(name, bitmap);
  return bitmap;
}

int Appearance::textWidthTwips(const forms::TextFont& font, std::string_view text) const {
  const ScreenText screen(this->font(font));
  const std::wstring wide = widen(text);
  SIZE size{};
  GetTextExtentPoint32W(screen.dc(), wide.c_str(), static_cast<int>(wide.size()), &size);
  return static_cast<int>(std::lround(scale_.toTwips(size.cx)));
}

int Appearance::textHeightTwips(const forms::TextFont& font, std::string_view) const {
  // The height of a line: the font's ascent plus descent.
  const ScreenText screen(this->font(font));
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen.dc(), &metrics);
  return static_cast<int>(std::lround(scale_.toTwips(metrics.tmHeight)));
}

}  // namespace karvelo::views::win32
