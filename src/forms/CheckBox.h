// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/CaptionedControl.h"

namespace karvelo::forms {

// A check box: 0 clear, 1 ticked, 2 grayed. Only 1 counts as ticked. A user's click ticks a box
// that is not ticked and clears a ticked one, before the click handler runs.
class CheckBox : public CaptionedControl {
 public:
  static constexpr int Unchecked = 0;
  static constexpr int Checked = 1;
  static constexpr int Grayed = 2;

  CheckBox(Form& form, Control* container, std::string name, Rect geometry, std::string caption,
           int value = Unchecked)
      : CaptionedControl(form, container, ControlKind::CheckBox, std::move(name), geometry,
                         std::move(caption)),
        value_(value) {}

  int Value() const { return value_; }
  void setValue(int value) {
    if (value == value_) return;
    value_ = value;
    notify(Property::Value);
  }
  bool isChecked() const { return value_ == Checked; }

  void click() override {
    setValue(value_ == Checked ? Unchecked : Checked);
    CaptionedControl::click();
  }

  bool canTakeFocus() const override { return true; }

 private:
  int value_;
};

}  // namespace karvelo::forms
