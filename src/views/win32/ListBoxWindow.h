// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/ListBox.h"
#include "views/win32/ControlWindow.h"

namespace karvelo::views::win32 {

// A list box with extended selection that shows the model's entries in the model's order (the
// model sorts; the window does not) and keeps the selection in step both ways. While a handler
// changes the entries, the window holds its repaints and shows the outcome once.
class ListBoxWindow final : public ControlWindow {
 public:
  ListBoxWindow(FormWindow& owner, forms::ListBox& list);

  void create(bool group) override;
  void command(WORD code) override;
  HBRUSH colors(HDC dc) override;
  void releaseRepaints() override;

 private:
  void onListChanged(const forms::ListChange& change);
  void insert(int index);
  void showSelection(int first, int last);
  void holdRepaints();

  forms::ListBox& list_;
  bool held_ = false;
  bool showing_ = false;  // the view is writing the selection into the window
};

}  // namespace karvelo::views::win32
