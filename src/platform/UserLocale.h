// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/TextOrder.h"

namespace karvelo::platform {

// The user's regional settings, as the windows need them: how texts are ordered in sorted lists
// (the user's language, case ignored, as the platform's list control compares) and the character
// that separates the decimals of a number.
class UserLocale : public forms::TextOrder {
 public:
  // The decimal separator of the user's settings; '.' when they cannot be read or name a
  // character outside ASCII.
  virtual char decimalSeparator() const = 0;
};

}  // namespace karvelo::platform
