// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Control.h"
#include "forms/SortedEntries.h"

#include <cstdint>

namespace karvelo::forms {

// A change to a list box's entries, for a view that mirrors them. Structural changes come twice,
// before (about = true) and after (about = false) the entries change; selection changes once.
struct ListChange {
  enum Kind { Insert, Remove, Reset, Selection };
  Kind kind;
  int first;
  int last;
  bool about;
};

// A sorted list box with extended multiple selection. Entries go to their alphabetical place in
// the form's text order (the user's language, case ignored); each carries 32-bit item data;
// counts and indexes are 16-bit, so a list holds at most 32767 entries and adding one more is a
// run-time failure.
class ListBox : public Control {
 public:
  static constexpr int MaxEntries = 32767;
  static constexpr unsigned LB_SELITEMRANGE = 0x019B;

  ListBox(Form& form, Control* container, std::string name, Rect geometry)
      : Control(form, container, ControlKind::ListBox, std::move(name), geometry) {
    setBackColor(sys::Window);
    setForeColor(sys::WindowText);
  }

  int ListCount() const { return entries_.size(); }
  const std::string& List(int index) const { return entries_.at(index).text; }
  std::int32_t ItemData(int index) const { return entries_.at(index).itemData; }
  void setItemData(int index, std::int32_t data) { entries_.at(index).itemData = data; }
  bool Selected(int index) const { return entries_.at(index).selected; }
  void setSelected(int index, bool selected);

  // Adds an entry at its sorted place, unselected, with item data 0; NewIndex tells where.
  void AddItem(std::string text);
  // The index of the entry added last, or -1.
  int NewIndex() const { return newIndex_; }
  void RemoveItem(int index);
  void Clear();

  // The list control's messages; only LB_SELITEMRANGE is understood: wParam nonzero selects,
  // zero deselects, the entries from the low word of lParam to its high word, limited to the
  // entries that exist. Returns 0, or -1 (LB_ERR) for a message it does not know.
  std::intptr_t sendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

  bool canTakeFocus() const override { return true; }

  Signal<const ListChange&> listChanged;

 private:
  void selectRange(int first, int last, bool selected);

  SortedEntries entries_;
  int newIndex_ = -1;
};

}  // namespace karvelo::forms
