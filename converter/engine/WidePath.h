#pragma once

#ifdef _WIN32

#include <cctype>
#include <string>
#include <string_view>
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

// UTF-16 from the wide Windows calls as UTF-8 text.
inline std::string narrow(std::wstring_view text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
  return result;
}

// The system's text for an error code ("The system cannot find the file specified"), for
// messages; the number when the system has no text for it.
inline std::string systemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? narrow({text, length}) : "";
  ::LocalFree(text);
  while (!message.empty() &&
         (message.back() == '.' || std::isspace(static_cast<unsigned char>(message.back())))) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : message;
}

// A path for the wide calls: made full (from the current folder, with "." and ".." resolved and
// every slash a backslash), in the "\\?\" form that lifts the 260-character limit.
inline std::wstring widePath(const std::string& path) {
  const std::wstring wide = widen(path);
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

#endif
