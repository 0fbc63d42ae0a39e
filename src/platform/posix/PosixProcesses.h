// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "platform/Processes.h"
#include "platform/posix/DetachedSpawn.h"

namespace karvelo::platform {

// Starts programs on POSIX systems from one command-line text.
//
// The text is split into words by the converter's grammar. The program is found at its front the
// way unquoted program paths are found elsewhere: a quoted first word is the program; otherwise
// the shortest run of leading words (joined as written) that names an existing file, then longer
// ones. The words after it are the arguments. The program runs detached: the call returns once it
// has been executed, is never waited for and leaves no zombie behind. A start that cannot happen
// (no program found, not executable, a quote that the grammar cannot carry) is a RuntimeError.
class PosixProcesses final : public Processes {
 public:
  PosixProcesses() = default;
  // With the folder to take for the program's own, for tests and measurements whose executable
  // lies elsewhere than the converter.
  explicit PosixProcesses(std::string programFolder) : programFolder_(std::move(programFolder)) {}

  void start(const std::string& commandLine, int windowStyle) override;
  // The same, handing the program one descriptor (see spawnDetached).
  void start(const std::string& commandLine, const InheritedDescriptor& inherited);
  // The folder of the running executable, from /proc/self/exe, unless another was given.
  std::string programFolder() const override;

  // The program and its arguments, as start() would run them.
  static std::vector<std::string> resolve(const std::string& commandLine);

 private:
  void startDetached(const std::string& commandLine, const InheritedDescriptor* inherited);

  std::string programFolder_;
};

}  // namespace karvelo::platform
