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

// Throws ConversionError(DamagedPicture) with the given reason.
[[noreturn]] inline void damagedPicture(const std::string& reason) {
  throw ConversionError(ExitCode::DamagedPicture, "the picture is damaged: " + reason);
}

}  // namespace karvelo::converter
