#pragma once

#include "forms/Control.h"

namespace karvelo::forms {

enum class Alignment { Left, Center, Right };

// A caption on the window: never takes the focus; may have a single-line border and a
// transparent background.
class Label : public Control {
 public:
  Label(Form& form, Control* container, std::string name, Rect geometry, std::string caption = {})
      : Control(form, container, ControlKind::Label, std::move(name), geometry),
        caption_(std::move(caption)) {}

  const std::string& Caption() const { return caption_; }
  void setCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    notify(Property::Caption);
  }

  Alignment alignment = Alignment::Left;
  bool border = false;       // single-line border
  bool transparent = false;  // no background of its own

 private:
  std::string caption_;
};

}  // namespace karvelo::forms
