// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace karvelo::platform {

// How the platform writes paths: the separator between folder and file, and the converter's
// file name in the program folder.
struct PathStyle {
  char separator;
  std::string_view converterName;
};

constexpr PathStyle windowsPaths{'\\', "multiconv.exe"};
constexpr PathStyle posixPaths{'/', "multiconv"};
#ifdef _WIN32
constexpr PathStyle nativePaths = windowsPaths;
#else
constexpr PathStyle nativePaths = posixPaths;
#endif

}  // namespace karvelo::platform
