// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Control.h"

namespace karvelo::forms {

// A single-line text field. Typing by the user sets Text and runs no handler.
class TextBox : public Control {
 public:
  TextBox(Form& form, Control* container, std::string name, Rect geometry, std::string text = {})
      : Control(form, container, ControlKind::TextBox, std::move(name), geometry),
        text_(std::move(text)) {
    setBackColor(sys::Window);
    setForeColor(sys::WindowText);
  }

  const std::string& Text() const { return text_; }
  void setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    notify(Property::Text);
  }

  bool canTakeFocus() const override { return true; }

 private:
  std::string text_;
};

}  // namespace karvelo::forms
