// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UserLocale.h"

namespace karvelo::fakes {

// Fixed regional settings, the same on every system: the fixed text order and '.'.
class FakeUserLocale final : public platform::UserLocale {
 public:
  int compare(std::string_view a, std::string_view b) const override {
    return forms::compareIgnoringCase(a, b);
  }
  char decimalSeparator() const override { return separator; }

  char separator = '.';
};

}  // namespace karvelo::fakes
