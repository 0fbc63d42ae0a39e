// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ConverterLog.h"

#include <cstdlib>

namespace karvelo::common {

std::string converterLogPath() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    return std::string(state) + "/karvelo/multiconv.log";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.local/state/karvelo/multiconv.log";
  }
  return {};
}

}  // namespace karvelo::common
