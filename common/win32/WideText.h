// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace karvelo::common {

// Code pages of the conversions below (CP_UTF8, CP_ACP).
constexpr unsigned Utf8 = 65001;
constexpr unsigned AnsiCodePage = 0;

// UTF-8 program text as the UTF-16 of the wide Windows calls, and back; or bytes of another code
// page. Bytes that are no text of the code page become U+FFFD, and so do unpaired surrogates on
// the way back.
std::wstring widen(std::string_view text, unsigned codePage = Utf8);
std::string narrow(std::wstring_view text, unsigned codePage = Utf8);

// A path for the wide file calls: an absolute path too long for MAX_PATH takes the "\\?\" form,
// which the calls accept up to 32767 characters; any other path is left as it is, so that "."
// and ".." keep their meaning.
std::wstring widePath(std::string_view path);

// The system's text for an error code (GetLastError, a registry status), on one line.
std::string systemMessage(unsigned long error);

}  // namespace karvelo::common
