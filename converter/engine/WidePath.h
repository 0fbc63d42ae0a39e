#pragma once

#ifdef _WIN32

#include <string>
#include <windows.h>

namespace karvelo::converter {

// UTF-8 text as the UTF-16 that the wide Windows calls take.
inline std::wstring widen(const std::string& text) {
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

// A path for the wide calls: made full (from the current folder, with "." and ".." resolved and
// every slash a backslash), in the "\\?\" form that lifts the 260-character limit.
inline std::wstring widePath(const std::string& path) {
  const std::wstring wide = widen(path);
  if (wide.empty() || wide.starts_with(L"\\\\?\\")) {
    return wide;
  }
  std::wstring full(::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
  full.resize(::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                 nullptr));
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

#endif
