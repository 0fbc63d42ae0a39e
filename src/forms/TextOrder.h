// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace karvelo::forms {

// How a sorted list box orders its entries: the platform's list control compares texts in the
// user's language, without regard to case.
class TextOrder {
 public:
  virtual ~TextOrder() = default;
  // Negative when `a` sorts before `b`, zero when they take the same place, positive after.
  virtual int compare(std::string_view a, std::string_view b) const = 0;
};

// Compares ASCII letters without regard to case and every other byte by its value.
int compareIgnoringCase(std::string_view a, std::string_view b);

// An order that is the same on every system: compareIgnoringCase. For forms that are given no
// platform order, such as those of tests.
class FixedTextOrder final : public TextOrder {
 public:
  int compare(std::string_view a, std::string_view b) const override {
    return compareIgnoringCase(a, b);
  }
};

}  // namespace karvelo::forms
