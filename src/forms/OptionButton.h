// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/CaptionedControl.h"

namespace karvelo::forms {

// An option button. The option buttons that share a container form one group: setting one
// clears the others.
class OptionButton : public CaptionedControl {
 public:
  OptionButton(Form& form, Control* container, std::string name, Rect geometry, std::string caption)
      : CaptionedControl(form, container, ControlKind::OptionButton, std::move(name), geometry,
                         std::move(caption)) {}

  bool Value() const { return value_; }
  void setValue(bool value);

  void click() override {
    setValue(true);
    CaptionedControl::click();
  }

  bool canTakeFocus() const override { return true; }

 private:
  bool value_ = false;
};

}  // namespace karvelo::forms
