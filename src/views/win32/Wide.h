// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/win32/WideText.h"
#include "views/win32/WindowsApi.h"

#include <string>

namespace karvelo::views::win32 {

using common::narrow;
using common::widen;

// The text of a window (a caption, a text box's content).
inline std::string windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return narrow(text);
}

}  // namespace karvelo::views::win32
