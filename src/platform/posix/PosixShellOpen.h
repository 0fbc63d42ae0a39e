// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ShellOpen.h"

namespace karvelo::platform {

// The desktop's opener: xdg-open (open on macOS) started detached with the file or address. Only
// the verb "open" is known; the opener takes no parameters, and the show command and the owner
// window are left to the program that opens the file.
class PosixShellOpen final : public ShellOpen {
 public:
  void open(std::uintptr_t owner, const std::string& verb, const std::string& file,
            const std::optional<std::string>& parameters,
            const std::optional<std::string>& directory, int showCmd) override;
};

}  // namespace karvelo::platform
