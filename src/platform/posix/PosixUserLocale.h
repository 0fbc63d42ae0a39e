// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/UserLocale.h"

struct UCollator;

namespace karvelo::platform {

// The user's regional settings on POSIX systems: texts are ordered by ICU's collation for the
// user's language (the environment's LC_ALL, LC_COLLATE or LANG), case ignored and accents
// ordered as a dictionary orders them; the decimal separator is the C++ library's for the
// environment's locale.
class PosixUserLocale final : public UserLocale {
 public:
  PosixUserLocale();
  // With the collation of one language, such as "de_DE" or "sv"; "" or "C" is ICU's root order.
  explicit PosixUserLocale(const std::string& language);
  ~PosixUserLocale() override;
  PosixUserLocale(const PosixUserLocale&) = delete;
  PosixUserLocale& operator=(const PosixUserLocale&) = delete;

  int compare(std::string_view a, std::string_view b) const override;
  char decimalSeparator() const override;

 private:
  UCollator* collator_ = nullptr;  // none when ICU cannot open one: the fixed order serves
};

}  // namespace karvelo::platform
