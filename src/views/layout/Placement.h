// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/layout/PixelScale.h"

namespace karvelo::forms {
class Control;
}

namespace karvelo::views::layout {

// A place on the screen in pixels.
struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

// How far a container's inner area, where its controls and its drawing start, lies from its top
// left corner: the sunken edge of a bordered picture box; 0 for anything else and for none.
int innerEdge(const forms::Control* container, PixelScale scale);

// A control's place in its container's inner area. A line's box grows by its width so that its
// pen fits.
PixelRect placeInContainer(const forms::Control& control, PixelScale scale);

// A control's place in the window's client area: its containers' places and edges added up, each
// rounded on its own, so that a view that nests widgets and one that does not agree to the pixel.
PixelRect placeInClient(const forms::Control& control, PixelScale scale);

}  // namespace karvelo::views::layout
