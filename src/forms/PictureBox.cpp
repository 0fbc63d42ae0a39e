// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/PictureBox.h"

#include "forms/Form.h"

namespace karvelo::forms {

void PictureBox::Cls() {
  drawing_.clear();
  currentX_ = 0;
  currentY_ = 0;
}

void PictureBox::Print(const std::string& text) {
  drawing_.push_back(PrintedText{currentX_, currentY_, text, ForeColor(), Font()});
  currentX_ = 0;
  currentY_ += TextHeight(text);
}

int PictureBox::TextWidth(const std::string& text) const {
  return form().fontMetrics().textWidthTwips(Font(), text);
}

int PictureBox::TextHeight(const std::string& text) const {
  return form().fontMetrics().textHeightTwips(Font(), text);
}

}  // namespace karvelo::forms
