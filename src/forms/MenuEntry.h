// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Signal.h"

#include <functional>
#include <string>
#include <vector>

namespace karvelo::forms {

class Form;

// A menu of the menu bar (no parent) or an entry of a menu.
class MenuEntry {
 public:
  MenuEntry(Form& form, MenuEntry* parent, std::string name, std::string caption);
  MenuEntry(const MenuEntry&) = delete;
  MenuEntry& operator=(const MenuEntry&) = delete;

  const std::string& name() const { return name_; }
  const std::string& Caption() const { return caption_; }
  MenuEntry* parent() const { return parent_; }
  const std::vector<MenuEntry*>& entries() const { return entries_; }

  bool Enabled = true;
  bool Visible = true;
  bool Checked = false;

  std::function<void()> Click;
  void click() {
    if (Click) Click();
  }

 private:
  std::string name_;
  std::string caption_;
  MenuEntry* parent_;
  std::vector<MenuEntry*> entries_;
};

}  // namespace karvelo::forms
