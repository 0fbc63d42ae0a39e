// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Registry.h"

namespace karvelo::platform {

// A registry that holds no keys: every key fails to open, as on a system without one.
class PosixRegistry final : public Registry {
 public:
  long openKey(Key root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
               Key& handle) override;
  long queryValue(Key handle, const std::string& valueName, std::uint32_t& type, std::uint8_t* data,
                  std::uint32_t& length) override;
  long closeKey(Key handle) override;
  // Never reached: there are no values. The bytes as they are.
  std::string valueText(std::string_view bytes) const override { return std::string(bytes); }
};

}  // namespace karvelo::platform
