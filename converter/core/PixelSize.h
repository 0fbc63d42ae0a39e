// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace karvelo::converter {

struct PixelSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;

  std::uint64_t area() const { return std::uint64_t{width} * height; }
  PixelSize transposed() const { return {height, width}; }
  bool operator==(const PixelSize&) const = default;
};

// Pictures above this many pixels are refused before decoding, and no result may exceed it.
inline constexpr std::uint64_t maxPictureArea = 500'000'000;

// Nor may a side exceed this: a converter holds a few rows of the source and of the result, and
// rows of half a billion pixels would take gigabytes.
inline constexpr std::uint32_t maxPictureSide = 1'000'000;

}  // namespace karvelo::converter
