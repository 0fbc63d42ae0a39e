// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace karvelo::forms {

// One entry of a list box: its text, the 32-bit number carried with it, and its selected state.
struct ListEntry {
  std::string text;
  std::int32_t itemData = 0;
  bool selected = false;
};

}  // namespace karvelo::forms
