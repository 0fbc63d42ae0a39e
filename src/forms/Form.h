// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Color.h"
#include "forms/Control.h"
#include "forms/FontMetrics.h"
#include "forms/MenuEntry.h"
#include "forms/Signal.h"
#include "forms/TextFont.h"
#include "forms/TextOrder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace karvelo::forms {

enum class BorderStyle {
  FixedSingle,  // fixed single line, close box and system menu
  FixedDialog,  // fixed dialog frame
};

// A top-level window of the program: title, client size in twips, icon, default font, mouse
// pointer, its controls in creation order and its menu bar. A window class derives from Form,
// owns its controls as members and overrides the load and unload events.
class Form {
 public:
  Form(std::string name, std::string caption, int clientWidth, int clientHeight);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  void setCaption(std::string caption);
  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }

  BorderStyle borderStyle = BorderStyle::FixedSingle;
  bool maxButton = false;
  bool minButton = false;
  bool centerOnScreen = true;
  std::string icon;  // name of the window's icon resource, empty for none

  const TextFont& Font() const { return font_; }
  void setFont(const TextFont& font) { font_ = font; }
  Color BackColor() const { return backColor_; }
  void setBackColor(Color color) { backColor_ = color; }

  int MousePointer() const { return mousePointer_; }
  void setMousePointer(int pointer);

  // The native window handle, set by the view; 0 while no window exists.
  std::uintptr_t hWnd = 0;

  const std::vector<Control*>& controls() const { return controls_; }
  const std::vector<MenuEntry*>& menus() const { return menus_; }
  // The control of that name, or null.
  Control* find(const std::string& name) const;
  // The control that takes the focus first: the lowest tab position that can take the focus.
  Control* initialFocus() const;

  const FontMetrics& fontMetrics() const { return *metrics_; }
  void setFontMetrics(const FontMetrics* metrics) { metrics_ = metrics ? metrics : &estimated_; }

  // The order of the window's sorted list boxes; a fixed one until the platform's is set.
  const TextOrder& textOrder() const { return *order_; }
  void setTextOrder(const TextOrder* order) { order_ = order ? order : &fixedOrder_; }

  // Runs Form_Load once, before the window is first shown.
  void load();
  bool isLoaded() const { return loaded_; }
  // Closes the window as a user would: runs Form_Unload, and unless it refuses, the window is
  // unloaded and `unloaded` tells the view to take it down.
  void Unload();
  bool isUnloaded() const { return unloaded_; }

  // Enter and Esc press the default and the cancel button, wherever the focus is.
  void pressEnter();
  void pressEscape();

  Signal<Property> changed;
  Signal<> unloaded;

  // Called by the controls of this form as they are made and destroyed.
  void registerControl(Control& control) { controls_.push_back(&control); }
  void unregisterControl(Control& control);
  void registerMenu(MenuEntry& menu) { menus_.push_back(&menu); }

 protected:
  virtual void Form_Load() {}
  // `cancel` set non-zero refuses the close.
  virtual void Form_Unload(std::int16_t& cancel) { (void)cancel; }

 private:
  std::string name_;
  std::string caption_;
  int clientWidth_;
  int clientHeight_;
  TextFont font_;
  Color backColor_ = sys::ButtonFace;
  int mousePointer_ = pointer::Default;
  std::vector<Control*> controls_;
  std::vector<MenuEntry*> menus_;
  EstimatedFontMetrics estimated_;
  const FontMetrics* metrics_ = &estimated_;
  FixedTextOrder fixedOrder_;
  const TextOrder* order_ = &fixedOrder_;
  bool loaded_ = false;
  bool unloaded_ = false;
};

}  // namespace karvelo::forms
