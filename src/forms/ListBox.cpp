// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/ListBox.h"

#include "forms/Form.h"
#include "forms/RuntimeError.h"

#include <algorithm>

namespace karvelo::forms {

void ListBox::setSelected(int index, bool selected) {
  ListEntry& entry = entries_.at(index);
  if (entry.selected == selected) return;
  entry.selected = selected;
  listChanged({ListChange::Selection, index, index, false});
}

void ListBox::AddItem(std::string text) {
  if (ListCount() >= MaxEntries) {
    throw RuntimeError(RuntimeError::Overflow, "a list box holds at most 32767 entries");
  }
  const int index = entries_.sortedPosition(text, form().textOrder());
  listChanged({ListChange::Insert, index, index, true});
  entries_.insertAt(index, ListEntry{std::move(text), 0, false});
  newIndex_ = index;
  listChanged({ListChange::Insert, index, index, false});
}

void ListBox::RemoveItem(int index) {
  entries_.at(index);  // range check before announcing
  listChanged({ListChange::Remove, index, index, true});
  entries_.erase(index);
  listChanged({ListChange::Remove, index, index, false});
}

void ListBox::Clear() {
  listChanged({ListChange::Reset, 0, -1, true});
  entries_.clear();
  newIndex_ = -1;
  listChanged({ListChange::Reset, 0, -1, false});
}

void ListBox::selectRange(int first, int last, bool selected) {
  if (first > last) std::swap(first, last);
  last = std::min(last, ListCount() - 1);
  if (first > last) return;
  entries_.forRange(first, last, [selected](ListEntry& e) { e.selected = selected; });
  listChanged({ListChange::Selection, first, last, false});
}

std::intptr_t ListBox::sendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (message != LB_SELITEMRANGE) return -1;
  const auto bits = static_cast<std::uint32_t>(lParam);
  selectRange(static_cast<int>(bits & 0xFFFFu), static_cast<int>(bits >> 16), wParam != 0);
  return 0;
}

}  // namespace karvelo::forms
