// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace karvelo::views::layout {

constexpr int TwipsPerInch = 1440;

// Twips to pixels for a screen of so many dots per inch: 15 twips a pixel at 96.
struct PixelScale {
  int dpi = 96;

  // To the nearest pixel, halves away from zero.
  constexpr int toPixels(int twips) const {
    const long long scaled = static_cast<long long>(twips) * dpi;
    const long long half = TwipsPerInch / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / TwipsPerInch
                                        : -((-scaled + half) / TwipsPerInch));
  }
  // Pixels to twips, for measured text.
  constexpr double toTwips(double pixels) const { return pixels * TwipsPerInch / dpi; }
};

}  // namespace karvelo::views::layout
