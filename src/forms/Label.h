#pragma once

#include "forms/CaptionedControl.h"

namespace karvelo::forms {

enum class Alignment { Left, Center, Right };

// A caption on the window: never takes the focus; may have a single-line border and a
// transparent background.
class Label : public CaptionedControl {
 public:
  Label(Form& form, Control* container, std::string name, Rect geometry, std::string caption = {})
      : CaptionedControl(form, container, ControlKind::Label, std::move(name), geometry,
                         std::move(caption)) {}

  Alignment alignment = Alignment::Left;
  bool border = false;       // single-line border
  bool transparent = false;  // no background of its own
};

}  // namespace karvelo::forms
