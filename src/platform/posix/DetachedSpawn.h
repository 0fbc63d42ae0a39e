// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace karvelo::platform {

// Starts a program and forgets it: the program runs as a grandchild of this process, adopted by
// the system when its short-lived parent ends, so nobody has to wait for it and no zombie is left
// behind. `argv[0]` is a path, or a bare name looked up on PATH; `directory`, when given, is the
// program's working folder. Returns 0 once the program is running, otherwise the errno of the
// failure (no such program, not executable, no resources).
//
// With `inherited`, the program alone receives that open descriptor, whose number it finds in
// the environment variable named there; every other descriptor of the caller's is closed on
// execution, as the caller opens them all.
struct InheritedDescriptor {
  int descriptor;
  std::string variable;
};
int spawnDetached(const std::vector<std::string>& argv,
                  const std::optional<std::string>& directory = std::nullopt,
                  const InheritedDescriptor* inherited = nullptr);

}  // namespace karvelo::platform
