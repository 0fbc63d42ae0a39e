// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/TextFont.h"

#include <string_view>

namespace karvelo::forms {

// Measures text for TextWidth and TextHeight. A view supplies one that asks the toolkit; without
// a view the form uses a fixed estimate, good enough for headless logic.
class FontMetrics {
 public:
  virtual ~FontMetrics() = default;
  virtual int textWidthTwips(const TextFont& font, std::string_view text) const = 0;
  virtual int textHeightTwips(const TextFont& font, std::string_view text) const = 0;
};

// Every character half as wide as the font is tall; a line 1.2 times the point size.
class EstimatedFontMetrics final : public FontMetrics {
 public:
  int textWidthTwips(const TextFont& font, std::string_view text) const override;
  int textHeightTwips(const TextFont& font, std::string_view text) const override;
};

}  // namespace karvelo::forms
