// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace karvelo::converter {

// How paths are spelled: Windows accepts both slashes and uses the backslash; POSIX only '/'.
enum class PathStyle { Posix, Windows };

// A constant rather than a call into platform/: the portable naming code and its tests name both
// styles, and only the default differs by system.
#ifdef _WIN32
inline constexpr PathStyle nativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle nativePathStyle = PathStyle::Posix;
#endif

}  // namespace karvelo::converter
