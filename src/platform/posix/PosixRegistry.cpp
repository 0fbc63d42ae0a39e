// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixRegistry.h"

namespace karvelo::platform {

long PosixRegistry::openKey(Key, const std::string&, std::uint32_t, std::uint32_t, Key&) {
  return FileNotFound;
}

long PosixRegistry::queryValue(Key, const std::string&, std::uint32_t&, std::uint8_t*,
                               std::uint32_t&) {
  return InvalidHandle;
}

long PosixRegistry::closeKey(Key) { return InvalidHandle; }

}  // namespace karvelo::platform
