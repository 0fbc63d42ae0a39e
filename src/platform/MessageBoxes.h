// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace karvelo::platform {

// Message box styles, as the window system numbers them.
namespace messageStyle {
constexpr int OkOnly = 0;
constexpr int Information = 64;
}  // namespace messageStyle

// Modal message boxes, owned by the view.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the text with the buttons and icon of `style` under `title`, and returns when the user
  // has answered.
  virtual void show(const std::string& text, int style, const std::string& title) = 0;
};

}  // namespace karvelo::platform
