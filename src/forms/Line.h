// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Control.h"

#include <algorithm>
#include <cstdlib>

namespace karvelo::forms {

// A straight line from (X1, Y1) to (X2, Y2), in twips of its container; its width is in pixels.
class Line : public Control {
 public:
  Line(Form& form, Control* container, std::string name, int x1, int y1, int x2, int y2,
       Color color, int widthPixels = 1)
      : Control(form, container, ControlKind::Line, std::move(name),
                Rect{std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)}),
        X1(x1),
        Y1(y1),
        X2(x2),
        Y2(y2),
        BorderWidth(widthPixels) {
    setForeColor(color);
  }

  Color BorderColor() const { return ForeColor(); }

  const int X1, Y1, X2, Y2;
  const int BorderWidth;
  bool insideSolid = false;  // drawn inside its bounds rather than centred on the line
};

}  // namespace karvelo::forms
