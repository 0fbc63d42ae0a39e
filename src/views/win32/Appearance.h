// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/win32/WindowsApi.h"

#include <map>
#include <string>

#include "forms/Color.h"
#include "forms/FontMetrics.h"
#include "forms/TextFont.h"
#include "views/layout/PixelScale.h"

namespace karvelo::views::win32 {

// What the windows are drawn with: the screen's dots per inch, the laid-out fonts, colours and
// their brushes, the pointers, and the icons and pictures among the program's resources. Fonts,
// brushes and pictures are made once and kept for the life of the view.
class Appearance final : public forms::FontMetrics {
 public:
  Appearance();
  ~Appearance() override;
  Appearance(const Appearance&) = delete;
  Appearance& operator=(const Appearance&) = delete;

  // Twips to pixels at the screen's real dots per inch.
  layout::PixelScale scale() const { return scale_; }

  HFONT font(const forms::TextFont& font) const;
  // A model colour: a fixed colour as it is, a system colour from the user's scheme by its index.
  static COLORREF color(forms::Color color);
  HBRUSH brush(forms::Color color);

  // The pointer of a model pointer value: the hourglass, the program's hand (hot spot on the tip
  // of its finger), or null for the window's own default.
  static HCURSOR cursor(int pointer);
  // A window icon of the given name ("app", "about") at the size given, or null.
  static HICON icon(const std::string& name, int size);
  // A picture of the given name ("about-picture"), loaded once; null when there is none.
  HBITMAP picture(const std::string& name);

  // forms::FontMetrics: text measured in the laid-out font on the screen, in twips.
  int textWidthTwips(const forms::TextFont& font, std::string_view text) const override;
  int textHeightTwips(const forms::TextFont& font, std::string_view text) const override;

 private:
  struct FontKey {
    std::string face;
    int height;
    bool bold;
    bool italic;
    auto operator<=>(const FontKey&) const = default;
  };

  layout::PixelScale scale_;
  mutable std::map<FontKey, HFONT> fonts_;
  std::map<forms::Color, HBRUSH> brushes_;
  std::map<std::string, HBITMAP> pictures_;
};

}  // namespace karvelo::views::win32
