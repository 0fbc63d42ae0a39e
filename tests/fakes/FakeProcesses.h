// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/RuntimeError.h"
#include "platform/Processes.h"

#include <functional>
#include <string>
#include <vector>

namespace karvelo::fakes {

// Records every start; fails the start with the given 1-based number when failAtStart is set.
class FakeProcesses final : public platform::Processes {
 public:
  struct Start {
    std::string commandLine;
    int windowStyle;
    bool operator==(const Start&) const = default;
  };

  void start(const std::string& commandLine, int windowStyle) override {
    ++attempts;
    if (onStart) onStart(commandLine);
    if (failAtStart != 0 && attempts >= failAtStart) {
      throw RuntimeError(RuntimeError::FileNotFound, "cannot start " + commandLine);
    }
    starts.push_back({commandLine, windowStyle});
  }
  std::string programFolder() const override { return folder; }

  std::string folder = "C:\\Tools";
  int failAtStart = 0;  // 0: never fail
  int attempts = 0;
  std::vector<Start> starts;
  std::function<void(const std::string&)> onStart;  // runs before the start succeeds or fails
};

}  // namespace karvelo::fakes
