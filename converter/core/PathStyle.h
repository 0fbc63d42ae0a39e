#pragma once

namespace karvelo::converter {

// How paths are spelled: Windows accepts both slashes and uses the backslash; POSIX only '/'.
enum class PathStyle { Posix, Windows };

#ifdef _WIN32
inline constexpr PathStyle nativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle nativePathStyle = PathStyle::Posix;
#endif

}  // namespace karvelo::converter
