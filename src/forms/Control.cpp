// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/Control.h"

#include "forms/Form.h"

namespace karvelo::forms {

Control::Control(Form& form, Control* container, ControlKind kind, std::string name, Rect geometry)
    : form_(form), container_(container), kind_(kind), name_(std::move(name)), geometry_(geometry) {
  form_.registerControl(*this);
}

Control::~Control() { form_.unregisterControl(*this); }

void Control::setWidth(int width) { Move(geometry_.left, geometry_.top, width, geometry_.height); }

void Control::setHeight(int height) {
  Move(geometry_.left, geometry_.top, geometry_.width, height);
}

void Control::Move(int left, int top, int width, int height) {
  const Rect next{left, top, width, height};
  if (next == geometry_) return;
  geometry_ = next;
  notify(Property::Geometry);
}

TextFont Control::Font() const { return font_ ? *font_ : form_.Font(); }

void Control::setFont(const TextFont& font) {
  font_ = font;
  notify(Property::Font);
}

void Control::setBackColor(Color color) {
  if (color == backColor_) return;
  backColor_ = color;
  notify(Property::Colors);
}

void Control::setForeColor(Color color) {
  if (color == foreColor_) return;
  foreColor_ = color;
  notify(Property::Colors);
}

void Control::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  notify(Property::Enabled);
}

void Control::setVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  notify(Property::Visible);
}

void Control::setMousePointer(int pointer) {
  if (pointer == mousePointer_) return;
  mousePointer_ = pointer;
  notify(Property::MousePointer);
}

void Control::click() {
  if (Click) Click();
}

}  // namespace karvelo::forms
