// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ShellOpen.h"

namespace karvelo::fakes {

// Records every call to the shell.
class FakeShellOpen final : public platform::ShellOpen {
 public:
  struct Call {
    std::uintptr_t owner;
    std::string verb;
    std::string file;
    std::optional<std::string> parameters;
    std::optional<std::string> directory;
    int showCmd;
    bool operator==(const Call&) const = default;
  };

  void open(std::uintptr_t owner, const std::string& verb, const std::string& file,
            const std::optional<std::string>& parameters,
            const std::optional<std::string>& directory, int showCmd) override {
    calls.push_back({owner, verb, file, parameters, directory, showCmd});
  }

  std::vector<Call> calls;
};

}  // namespace karvelo::fakes
