#pragma once

#include "converter/core/ExitCode.h"

#include <string>

namespace karvelo::converter {

// Reports a failed conversion: one line on the standard error stream and one line appended to
// karvelo/multiconv.log in the user's state folder ($XDG_STATE_HOME, else ~/.local/state;
// %LOCALAPPDATA% on Windows). Control characters of the message become '?', so each report is
// exactly one line. Failing to log is not itself reported.
void reportFailure(ExitCode code, const std::string& message, const std::string& commandLine);

}  // namespace karvelo::converter
