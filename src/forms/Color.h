// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace karvelo::forms {

// A colour as the window system stores it: 0x00BBGGRR for a fixed colour, or a reference to a
// system colour (high bit set, the system colour's index in the low byte) that the view resolves
// from the user's palette when it paints.
using Color = std::uint32_t;

constexpr Color systemColor(std::uint8_t index) { return 0x80000000u | index; }
constexpr bool isSystemColor(Color c) { return (c & 0x80000000u) != 0; }
constexpr std::uint8_t systemColorIndex(Color c) { return static_cast<std::uint8_t>(c & 0xFFu); }
constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<Color>(r) | (static_cast<Color>(g) << 8) | (static_cast<Color>(b) << 16);
}

namespace sys {
constexpr Color ActiveTitle = systemColor(2);  // title bar of an active window
constexpr Color Window = systemColor(5);       // window background
constexpr Color WindowText = systemColor(8);
constexpr Color TitleText = systemColor(9);       // text in an active title bar
constexpr Color Highlight = systemColor(13);      // selected items
constexpr Color HighlightText = systemColor(14);  // text of selected items
constexpr Color ButtonFace = systemColor(15);
constexpr Color ButtonText = systemColor(18);
}  // namespace sys

}  // namespace karvelo::forms
