// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/FontMetrics.h"

namespace karvelo::views::qt {

// TextWidth and TextHeight from Qt's font metrics, in twips at 15 twips a pixel.
class QtFontMetrics final : public forms::FontMetrics {
 public:
  int textWidthTwips(const forms::TextFont& font, std::string_view text) const override;
  int textHeightTwips(const forms::TextFont& font, std::string_view text) const override;
};

}  // namespace karvelo::views::qt
