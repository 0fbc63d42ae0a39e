// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace karvelo::platform {

// Show commands for the shell, as the window system numbers them.
namespace showCommand {
constexpr int Hide = 0;
constexpr int Normal = 1;
}  // namespace showCommand

// Handing a document or an address to the desktop shell, which opens it with the program the
// user has chosen for it (a web address: the default web browser). The call returns without
// waiting for that program, and nothing is reported back: a page that cannot be opened is not
// noticed by the caller.
class ShellOpen {
 public:
  virtual ~ShellOpen() = default;
  // `owner` is the native handle of the window on whose behalf the shell acts, 0 for none;
  // `verb` the action ("Open"); `parameters` and `directory` are left out with nullopt.
  virtual void open(std::uintptr_t owner, const std::string& verb, const std::string& file,
                    const std::optional<std::string>& parameters,
                    const std::optional<std::string>& directory, int showCmd) = 0;
};

}  // namespace karvelo::platform
