// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// What multiconv says about itself when asked instead of given a picture: its usage (the
// switches, the new file's name and the exit status) and its version. The usage is also the
// source of the manual page, which help2man makes from it.
namespace karvelo::converter {

std::string usageText();

// "multiconv <version>" from the project's version, then the copyright and licence lines as GNU
// programs print them.
std::string versionText();

enum class InfoRequest { None, Usage, Version };

// What a command line asks for instead of a conversion: the usage when its last word is --help,
// -h, -? or /?, the version when it is --version, and only when none of its words is a converter
// switch (so "/pre:x --help" stays the prefix "x --help"). `commandLine` is the text after the
// program's name on POSIX and the whole line on Windows, whose leading program path, unquoted
// and possibly holding blanks, is no switch either.
InfoRequest infoRequest(std::string_view commandLine);

}  // namespace karvelo::converter
