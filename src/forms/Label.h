// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/CaptionedControl.h"

namespace karvelo::forms {

enum class Alignment { Left, Center, Right };

// A caption on the window: never takes the focus; may have a single-line border and a
// transparent background. With UseMnemonic, "&" in the caption marks an access key as on a
// button; without it, the caption is shown exactly as it stands ("R&D" reads "R&D").
class Label : public CaptionedControl {
 public:
  Label(Form& form, Control* container, std::string name, Rect geometry, std::string caption = {})
      : CaptionedControl(form, container, ControlKind::Label, std::move(name), geometry,
                         std::move(caption)) {}

  Alignment alignment = Alignment::Left;
  bool border = false;       // single-line border
  bool transparent = false;  // no background of its own
  bool UseMnemonic = true;
};

}  // namespace karvelo::forms
