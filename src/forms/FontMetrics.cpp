// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/FontMetrics.h"

#include <cmath>

namespace karvelo::forms {

namespace {
constexpr double TwipsPerPoint = 20.0;
}

int EstimatedFontMetrics::textWidthTwips(const TextFont& font, std::string_view text) const {
  return static_cast<int>(
      std::lround(font.size * TwipsPerPoint * 0.5 * static_cast<double>(text.size())));
}

int EstimatedFontMetrics::textHeightTwips(const TextFont& font, std::string_view) const {
  return static_cast<int>(std::lround(font.size * TwipsPerPoint * 1.2));
}

}  // namespace karvelo::forms
