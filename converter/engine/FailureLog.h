// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/ExitCode.h"

#include <string>

namespace karvelo::converter {

// Reports a failed conversion: one line on the standard error stream (on Windows, else on the
// console of the process that started the converter) and one line appended to the log:
// karvelo/multiconv.log in $XDG_STATE_HOME (else ~/.local/state), or Karvelo\multiconv.log in
// %LOCALAPPDATA% on Windows. Control characters of the message become '?', so each report is
// exactly one line. Failing to log is not itself reported.
void reportFailure(ExitCode code, const std::string& message, const std::string& commandLine);

}  // namespace karvelo::converter
