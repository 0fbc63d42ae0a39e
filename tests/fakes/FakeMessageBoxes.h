// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageBoxes.h"

#include <string>
#include <vector>

namespace karvelo::fakes {

// Records every message box as if the user answered OK at once.
class FakeMessageBoxes final : public platform::MessageBoxes {
 public:
  struct Shown {
    std::string text;
    int style;
    std::string title;
    bool operator==(const Shown&) const = default;
  };

  void show(const std::string& text, int style, const std::string& title) override {
    shown.push_back({text, style, title});
  }

  std::vector<Shown> shown;
};

}  // namespace karvelo::fakes
