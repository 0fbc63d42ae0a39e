// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/PictureBox.h"
#include "views/win32/ControlWindow.h"

namespace karvelo::views::win32 {

// A picture box: a window of the program's own class that paints the box's kept drawing (its
// background, sunken edge, picture, lines and printed texts) whenever the system asks, and at
// once on Refresh, since the handler that refreshes it lets no message through meanwhile.
class PictureBoxWindow final : public ControlWindow {
 public:
  PictureBoxWindow(FormWindow& owner, forms::PictureBox& box);

  void create(bool group) override;

 protected:
  void changed(forms::Property property) override;

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void paint(HDC dc);

  forms::PictureBox& box_;
};

}  // namespace karvelo::views::win32
