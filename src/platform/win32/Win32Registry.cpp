// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32Registry.h"

#include <windows.h>

#include "common/win32/WideText.h"

namespace karvelo::platform {

namespace {

// The predefined roots are 32-bit values with the top bit set (HKEY_LOCAL_MACHINE is
// 0x80000002); a 64-bit Windows defines them sign-extended (0xFFFFFFFF80000002).
HKEY nativeKey(Registry::Key key) {
  if (static_cast<std::uint64_t>(key) >> 31 == 1) {
    const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(key));
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(value));
  }
  return reinterpret_cast<HKEY>(key);
}

// Program text in the ANSI code page, as the A calls take it.
std::string ansi(const std::string& text) {
  return common::narrow(common::widen(text), common::AnsiCodePage);
}

}  // namespace

long Win32Registry::openKey(Key root, const std::string& subKey, std::uint32_t options,
                            std::uint32_t access, Key& handle) {
  HKEY opened = nullptr;
  const LONG status =
      ::RegOpenKeyExA(nativeKey(root), ansi(subKey).c_str(), options, access, &opened);
  if (status == ERROR_SUCCESS) handle = reinterpret_cast<Key>(opened);
  return status;
}

long Win32Registry::queryValue(Key handle, const std::string& valueName, std::uint32_t& type,
                               std::uint8_t* data, std::uint32_t& length) {
  DWORD nativeType = 0;
  DWORD size = length;
  const LONG status = ::RegQueryValueExA(nativeKey(handle), ansi(valueName).c_str(), nullptr,
                                         &nativeType, data, &size);
  if (status == ERROR_SUCCESS) {
    type = nativeType;
    length = size;
  }
  return status;
}

long Win32Registry::closeKey(Key handle) { return ::RegCloseKey(nativeKey(handle)); }

std::string Win32Registry::valueText(std::string_view bytes) const {
  return common::narrow(common::widen(bytes, common::AnsiCodePage));
}

}  // namespace karvelo::platform
