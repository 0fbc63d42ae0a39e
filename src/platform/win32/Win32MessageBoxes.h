// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

#include "platform/MessageBoxes.h"

namespace karvelo::platform {

// MessageBoxW with the style and title given, modal to the window that `owner` names for each
// box (0 for none); the view decides which of its windows that is.
class Win32MessageBoxes final : public MessageBoxes {
 public:
  explicit Win32MessageBoxes(std::function<std::uintptr_t()> owner) : owner_(std::move(owner)) {}
  void show(const std::string& text, int style, const std::string& title) override;

 private:
  std::function<std::uintptr_t()> owner_;
};

}  // namespace karvelo::platform
