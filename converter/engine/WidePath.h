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

// A path for the wide calls: absolute paths get the "\\?\" form, so that paths longer than
// 260 characters work too.
inline std::wstring widePath(const std::string& path) {
  std::wstring wide = widen(path);
  for (wchar_t& c : wide) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') {
    return L"\\\\?\\" + wide;
  }
  if (wide.starts_with(L"\\\\") && !wide.starts_with(L"\\\\?\\")) {
    return L"\\\\?\\UNC\\" + wide.substr(2);
  }
  return wide;
}

}  // namespace karvelo::converter

#endif
