// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Control.h"

#include <string>

namespace karvelo::forms {

// A control that shows a caption: label, button, check box, option button.
class CaptionedControl : public Control {
 public:
  CaptionedControl(Form& form, Control* container, ControlKind kind, std::string name,
                   Rect geometry, std::string caption)
      : Control(form, container, kind, std::move(name), geometry), caption_(std::move(caption)) {}

  const std::string& Caption() const { return caption_; }
  void setCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    notify(Property::Caption);
  }

 private:
  std::string caption_;
};

}  // namespace karvelo::forms
