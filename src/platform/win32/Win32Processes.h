// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Processes.h"

#include <string>

namespace karvelo::platform {

// Starts programs with CreateProcessW. The whole command line goes to Windows with no separate
// program name, so that Windows finds the program at its front by its own rule (an unquoted path
// with blanks is tried word by word). The program is shown as the window style asks, both of its
// handles are closed at once, and it is never waited for. A start that cannot happen is a
// RuntimeError.
class Win32Processes final : public Processes {
 public:
  Win32Processes() = default;
  // With the folder to take for the program's own, for tests whose executable lies elsewhere
  // than the converter.
  explicit Win32Processes(std::string programFolder) : programFolder_(std::move(programFolder)) {}

  void start(const std::string& commandLine, int windowStyle) override;
  // The same, with the program alone inheriting one handle, whose value it finds in the
  // environment variable named. The handle is made inheritable for this start only, so that no
  // other program started from here holds it.
  void start(const std::string& commandLine, int windowStyle, void* inherited,
             const std::string& variable);
  // The folder of the running executable, without a closing backslash ("C:" at a drive's root),
  // from GetModuleFileNameW, also when that path is longer than MAX_PATH.
  std::string programFolder() const override;

 private:
  void create(const std::string& commandLine, int windowStyle, void* inherited,
              wchar_t* environment);

  std::string programFolder_;
};

}  // namespace karvelo::platform
