// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/AccessKey.h"
#include "forms/CaptionedControl.h"

namespace karvelo::forms {

// A push button. "&" in the caption marks its access key. A default button is pressed by Enter,
// a cancel button by Esc, wherever the focus is on its window.
class CommandButton : public CaptionedControl {
 public:
  CommandButton(Form& form, Control* container, std::string name, Rect geometry,
                std::string caption)
      : CaptionedControl(form, container, ControlKind::CommandButton, std::move(name), geometry,
                         std::move(caption)) {}

  char accessKey() const { return parseAccessKey(Caption()).key; }

  bool canTakeFocus() const override { return true; }

  bool isDefault = false;
  bool isCancel = false;
};

}  // namespace karvelo::forms
