// SPDX-License-Identifier: GPL-3.0-or-later
#include "web_links/WebLinks.h"

#include <optional>
#include <string>

namespace karvelo::web_links {

void openPage(platform::ShellOpen& shell, std::uintptr_t owner, std::string_view address) {
  shell.open(owner, "Open", std::string(address), std::nullopt, std::nullopt,
             platform::showCommand::Hide);
}

}  // namespace karvelo::web_links
