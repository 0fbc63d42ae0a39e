// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace karvelo::common {

// Where the converter logs its failures, one line each: karvelo/multiconv.log in
// $XDG_STATE_HOME (else ~/.local/state), or Karvelo\multiconv.log in %LOCALAPPDATA% on Windows.
// Empty where the user has no such folder.
std::string converterLogPath();

}  // namespace karvelo::common
