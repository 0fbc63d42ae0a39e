// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/win32/WideText.h"

#include <string>

#include <windows.h>

namespace karvelo::converter {

// A path for the wide calls: made full (from the current folder, with "." and ".." resolved and
// every slash a backslash), in the "\\?\" form that lifts the 260-character limit. The converter
// needs the full form where the program does not: a file is renamed by its handle, which takes
// nothing but a full path.
inline std::wstring fullWidePath(const std::string& path) {
  const std::wstring wide = common::widen(path);
  if (wide.empty() || wide.starts_with(L"\\\\?\\")) {
    return wide;
  }
  std::wstring full(::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
  full.resize(
      ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  if (full.empty()) {
    return wide;
  }
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
    return L"\\\\?\\" + full;
  }
  if (full.starts_with(L"\\\\") && !full.starts_with(L"\\\\.\\")) {
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  return full;
}

}  // namespace karvelo::converter
