// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/win32/WideText.h"

#include <windows.h>

namespace karvelo::common {

static_assert(Utf8 == CP_UTF8 && AnsiCodePage == CP_ACP);

std::wstring widen(std::string_view text, unsigned codePage) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), size);
  return wide;
}

std::string narrow(std::wstring_view text, unsigned codePage) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size =
      ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring widePath(std::string_view path) {
  std::wstring wide = widen(path);
  if (wide.size() < MAX_PATH) return wide;
  const bool drivePath =
      wide.size() >= 3 && wide[1] == L':' && (wide[2] == L'\\' || wide[2] == L'/');
  const bool uncPath = wide.starts_with(L"\\\\") && !wide.starts_with(L"\\\\?\\");
  if (!drivePath && !uncPath) return wide;
  // The long form takes no forward slashes.
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  return drivePath ? L"\\\\?\\" + wide : L"\\\\?\\UNC\\" + wide.substr(2);
}

std::string systemMessage(unsigned long error) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? narrow(std::wstring_view(text, length))
                                   : "system error " + std::to_string(error);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}

}  // namespace karvelo::common
