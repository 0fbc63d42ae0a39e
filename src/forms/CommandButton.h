#pragma once

#include "forms/AccessKey.h"
#include "forms/Control.h"

namespace karvelo::forms {

// A push button. "&" in the caption marks its access key. A default button is pressed by Enter,
// a cancel button by Esc, wherever the focus is on its window.
class CommandButton : public Control {
 public:
  CommandButton(Form& form, Control* container, std::string name, Rect geometry,
                std::string caption)
      : Control(form, container, ControlKind::CommandButton, std::move(name), geometry),
        caption_(std::move(caption)) {}

  const std::string& Caption() const { return caption_; }
  void setCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    notify(Property::Caption);
  }
  char accessKey() const { return parseAccessKey(caption_).key; }

  bool canTakeFocus() const override { return true; }

  bool isDefault = false;
  bool isCancel = false;

 private:
  std::string caption_;
};

}  // namespace karvelo::forms
