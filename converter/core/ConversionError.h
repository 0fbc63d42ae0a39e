// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/ExitCode.h"

#include <stdexcept>
#include <string>

namespace karvelo::converter {

// A failure of one conversion: the kind decides the exit status, the text is the one-line message.
class ConversionError : public std::runtime_error {
 public:
  ConversionError(ExitCode code, const std::string& message)
      : std::runtime_error(message), code_(code) {}

  ExitCode code() const noexcept { return code_; }

 private:
  ExitCode code_;
};

// The output's name is taken and /o was not given.
[[noreturn]] inline void outputExists(const std::string& path) {
  throw ConversionError(ExitCode::OutputExists,
                        "\"" + path + "\" already exists and /o was not given");
}

// The output cannot be written, for the reason given.
[[noreturn]] inline void writeFailure(const std::string& path, const std::string& why) {
  throw ConversionError(ExitCode::WriteFailure, "cannot write \"" + path + "\": " + why);
}

// Throws ConversionError(DamagedPicture) with the given reason.
[[noreturn]] inline void damagedPicture(const std::string& reason) {
  throw ConversionError(ExitCode::DamagedPicture, "the picture is damaged: " + reason);
}

}  // namespace karvelo::converter
