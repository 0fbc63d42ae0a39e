#pragma once

#include "forms/Control.h"

namespace karvelo::forms {

// An option button. The option buttons that share a container form one group: setting one
// clears the others.
class OptionButton : public Control {
 public:
  OptionButton(Form& form, Control* container, std::string name, Rect geometry, std::string caption)
      : Control(form, container, ControlKind::OptionButton, std::move(name), geometry),
        caption_(std::move(caption)) {}

  const std::string& Caption() const { return caption_; }

  bool Value() const { return value_; }
  void setValue(bool value);

  void click() override {
    setValue(true);
    Control::click();
  }

  bool canTakeFocus() const override { return true; }

 private:
  std::string caption_;
  bool value_ = false;
};

}  // namespace karvelo::forms
