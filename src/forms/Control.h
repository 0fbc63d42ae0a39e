// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Color.h"
#include "forms/Signal.h"
#include "forms/TextFont.h"

#include <functional>
#include <optional>
#include <string>

namespace karvelo::forms {

class Form;

enum class ControlKind {
  Label,
  CommandButton,
  TextBox,
  CheckBox,
  OptionButton,
  ComboBox,
  ListBox,
  PictureBox,
  Line,
  UserControl,
};

// What changed, for observers that mirror a control into a widget.
enum class Property {
  Caption,
  Text,
  Value,
  Enabled,
  Visible,
  Geometry,
  Font,
  Colors,
  MousePointer,
  Drawing,  // a picture box's kept drawing, on Refresh
  Items,    // a combo box's list
};

// Mouse pointers, by the values the program uses.
namespace pointer {
constexpr int Default = 0;
constexpr int Hourglass = 11;
constexpr int Custom = 99;
}  // namespace pointer

// Position and size in twips, measured from the top left corner of the container.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// The common part of every control: name, container, geometry, tab position, font, colours,
// enabled and visible state, mouse pointer, and the click event. The property accessors carry the
// names of the control properties they model (Caption, Enabled, ...); setters notify observers.
class Control {
 public:
  Control(Form& form, Control* container, ControlKind kind, std::string name, Rect geometry);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  Form& form() const { return form_; }
  Control* container() const { return container_; }

  const Rect& geometry() const { return geometry_; }
  int Left() const { return geometry_.left; }
  int Top() const { return geometry_.top; }
  int Width() const { return geometry_.width; }
  int Height() const { return geometry_.height; }
  void setWidth(int width);
  void setHeight(int height);
  virtual void Move(int left, int top, int width, int height);

  // Position in the tab order; none for controls that never take the focus.
  std::optional<int> TabIndex() const { return tabIndex_; }
  void setTabIndex(std::optional<int> index) { tabIndex_ = index; }
  virtual bool canTakeFocus() const { return false; }

  // The control's own font; none means the form's default font.
  const std::optional<TextFont>& fontOverride() const { return font_; }
  TextFont Font() const;
  void setFont(const TextFont& font);

  Color BackColor() const { return backColor_; }
  Color ForeColor() const { return foreColor_; }
  void setBackColor(Color color);
  void setForeColor(Color color);

  bool Enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void setVisible(bool visible);

  int MousePointer() const { return mousePointer_; }
  void setMousePointer(int pointer);

  // The handler of the click event, wired by the window that owns the control.
  std::function<void()> Click;
  // A user's click: the control's own reaction first (a check box toggles), then the handler.
  virtual void click();

  Signal<Property> changed;

 protected:
  void notify(Property property) { changed(property); }

 private:
  Form& form_;
  Control* container_;
  ControlKind kind_;
  std::string name_;
  Rect geometry_;
  std::optional<int> tabIndex_;
  std::optional<TextFont> font_;
  Color backColor_ = sys::ButtonFace;
  Color foreColor_ = sys::ButtonText;
  bool enabled_ = true;
  bool visible_ = true;
  int mousePointer_ = pointer::Default;
};

}  // namespace karvelo::forms
