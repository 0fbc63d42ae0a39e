// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UserLocale.h"

namespace karvelo::platform {

// The user's regional settings on Windows: texts compare as the list control compares them
// (CompareStringEx in the user's locale, case ignored), and the decimal separator is the one
// chosen in the regional settings (GetLocaleInfoEx).
class Win32UserLocale final : public UserLocale {
 public:
  int compare(std::string_view a, std::string_view b) const override;
  char decimalSeparator() const override;
};

}  // namespace karvelo::platform
