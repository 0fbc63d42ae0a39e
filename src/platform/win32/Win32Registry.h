// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Registry.h"

namespace karvelo::platform {

// The registry through advapi32's ANSI calls (RegOpenKeyExA, RegQueryValueExA, RegCloseKey):
// names go to them in the system's ANSI code page, and text values come back in it. A predefined
// root given as its 32-bit value is sign-extended, as a 64-bit Windows defines those handles.
class Win32Registry final : public Registry {
 public:
  long openKey(Key root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
               Key& handle) override;
  long queryValue(Key handle, const std::string& valueName, std::uint32_t& type, std::uint8_t* data,
                  std::uint32_t& length) override;
  long closeKey(Key handle) override;
  // The bytes read in the ANSI code page (MultiByteToWideChar with CP_ACP), as UTF-8.
  std::string valueText(std::string_view bytes) const override;
};

}  // namespace karvelo::platform
