// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/FontMetrics.h"

namespace karvelo::fakes {

// Every character charWidth twips wide, every line lineHeight twips high, whatever the font.
class FixedFontMetrics final : public forms::FontMetrics {
 public:
  FixedFontMetrics(int charWidth = 90, int lineHeight = 270)
      : charWidth_(charWidth), lineHeight_(lineHeight) {}

  int textWidthTwips(const forms::TextFont&, std::string_view text) const override {
    return charWidth_ * static_cast<int>(text.size());
  }
  int textHeightTwips(const forms::TextFont&, std::string_view) const override {
    return lineHeight_;
  }

 private:
  int charWidth_;
  int lineHeight_;
};

}  // namespace karvelo::fakes
