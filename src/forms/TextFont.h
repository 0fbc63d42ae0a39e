// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace karvelo::forms {

// A font as laid out: face name and size in points. Views map faces that the machine lacks to
// the nearest one it has.
struct TextFont {
  std::string face = "MS Sans Serif";
  double size = 8.25;
  bool bold = false;
  bool italic = false;

  bool operator==(const TextFont&) const = default;
};

}  // namespace karvelo::forms
