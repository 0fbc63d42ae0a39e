// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Control.h"

#include <cstdint>
#include <string>
#include <vector>

namespace karvelo::forms {

// A drop-down list with an editable text field. The list is kept in the order entries are added.
// Choosing an entry puts its text into the field; typing leaves no entry selected.
class ComboBox : public Control {
 public:
  ComboBox(Form& form, Control* container, std::string name, Rect geometry, std::string text = {})
      : Control(form, container, ControlKind::ComboBox, std::move(name), geometry),
        text_(std::move(text)) {
    setBackColor(sys::Window);
    setForeColor(sys::WindowText);
  }

  const std::string& Text() const { return text_; }
  void setText(std::string text) {
    listIndex_ = -1;
    if (text == text_) return;
    text_ = std::move(text);
    notify(Property::Text);
  }

  void AddItem(std::string item) {
    items_.push_back(std::move(item));
    notify(Property::Items);
  }
  int ListCount() const { return static_cast<int>(items_.size()); }
  const std::string& List(int index) const { return items_.at(static_cast<std::size_t>(index)); }

  // The selected entry, or -1.
  int ListIndex() const { return listIndex_; }
  void setListIndex(int index) {
    if (index < 0 || index >= ListCount()) {
      listIndex_ = -1;
      return;
    }
    setText(List(index));
    listIndex_ = index;
  }

  bool canTakeFocus() const override { return true; }

 private:
  std::string text_;
  std::vector<std::string> items_;
  int listIndex_ = -1;
};

}  // namespace karvelo::forms
