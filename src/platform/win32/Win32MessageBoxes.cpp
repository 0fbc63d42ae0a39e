// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32MessageBoxes.h"

#include <windows.h>

#include "common/win32/WideText.h"

namespace karvelo::platform {

void Win32MessageBoxes::show(const std::string& text, int style, const std::string& title) {
  const auto owner = reinterpret_cast<HWND>(owner_ ? owner_() : 0);
  ::MessageBoxW(owner, common::widen(text).c_str(), common::widen(title).c_str(),
                static_cast<UINT>(style));
}

}  // namespace karvelo::platform
