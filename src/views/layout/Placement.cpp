// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/layout/Placement.h"

#include "forms/Line.h"
#include "forms/PictureBox.h"

#include <algorithm>

namespace karvelo::views::layout {

int innerEdge(const forms::Control* container, PixelScale scale) {
  const auto* box = dynamic_cast<const forms::PictureBox*>(container);
  return box && box->bordered() ? scale.toPixels(forms::PictureBox::BorderTwips) : 0;
}

PixelRect placeInContainer(const forms::Control& control, PixelScale scale) {
  const forms::Rect& r = control.geometry();
  PixelRect place{scale.toPixels(r.left), scale.toPixels(r.top), scale.toPixels(r.width),
                  scale.toPixels(r.height)};
  if (const auto* line = dynamic_cast<const forms::Line*>(&control)) {
    const int pen = std::max(1, line->BorderWidth);
    place.width += pen;
    place.height += pen;
  }
  return place;
}

PixelRect placeInClient(const forms::Control& control, PixelScale scale) {
  PixelRect place = placeInContainer(control, scale);
  for (const forms::Control* c = control.container(); c; c = c->container()) {
    const PixelRect outer = placeInContainer(*c, scale);
    const int edge = innerEdge(c, scale);
    place.left += outer.left + edge;
    place.top += outer.top + edge;
  }
  return place;
}

}  // namespace karvelo::views::layout
