// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ShellOpen.h"

namespace karvelo::platform {

// ShellExecuteW: the shell opens the file or address with the program registered for it. COM is
// set up on the calling thread for the call, since the shell may hand the work to a COM handler.
class Win32ShellOpen final : public ShellOpen {
 public:
  void open(std::uintptr_t owner, const std::string& verb, const std::string& file,
            const std::optional<std::string>& parameters,
            const std::optional<std::string>& directory, int showCmd) override;
};

}  // namespace karvelo::platform
