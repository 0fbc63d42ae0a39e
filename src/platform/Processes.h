// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace karvelo::platform {

// Window styles for a started program.
namespace windowStyle {
constexpr int Normal = 1;            // normal window with the focus
constexpr int MinimizedNoFocus = 6;  // minimized; the active window stays active
}  // namespace windowStyle

// Starting programs. A failure is a RuntimeError.
class Processes {
 public:
  virtual ~Processes() = default;
  // Starts the program named at the front of the command line and returns at once, without
  // waiting for it.
  virtual void start(const std::string& commandLine, int windowStyle) = 0;
  // The folder that holds the running program's executable.
  virtual std::string programFolder() const = 0;
};

}  // namespace karvelo::platform
