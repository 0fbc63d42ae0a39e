// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/ShellOpen.h"

namespace karvelo::web_links {

// The fixed addresses the program opens: plain web scheme, host, and path. The two home pages
// carry no closing slash; the maker's address is also the caption of the About window's link.
constexpr std::string_view MakerHome = "http://www.karvelo.example";
constexpr std::string_view VelmoraHome = "http://www.velmora.example";
constexpr std::string_view VelmoraFaq = "http://www.velmora.example/faq.php";
constexpr std::string_view VelmoraSupport = "http://www.velmora.example/contact.php";

// Hands the address to the shell's "Open" verb on behalf of the window `owner`, with no
// parameters, no working directory and show command 0, and returns at once. Whether the page
// opens is not looked at.
void openPage(platform::ShellOpen& shell, std::uintptr_t owner, std::string_view address);

}  // namespace karvelo::web_links
