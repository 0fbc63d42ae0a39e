// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32UserLocale.h"

#include <windows.h>

#include "common/win32/WideText.h"

namespace karvelo::platform {

int Win32UserLocale::compare(std::string_view a, std::string_view b) const {
  const std::wstring wideA = common::widen(a);
  const std::wstring wideB = common::widen(b);
  const int result = ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, wideA.data(),
                                       static_cast<int>(wideA.size()), wideB.data(),
                                       static_cast<int>(wideB.size()), nullptr, nullptr, 0);
  // 0 is a failure; the others are less than, equal and greater than, in that order.
  if (result == 0) return forms::compareIgnoringCase(a, b);
  return result - CSTR_EQUAL;
}

char Win32UserLocale::decimalSeparator() const {
  wchar_t separator[4] = {};
  // The count includes the terminating NUL: 2 for a separator of one character.
  const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 4);
  if (length == 2 && separator[0] < 0x80) return static_cast<char>(separator[0]);
  return '.';
}

}  // namespace karvelo::platform
