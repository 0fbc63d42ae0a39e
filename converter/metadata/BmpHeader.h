// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSource.h"
#include "converter/core/PixelSize.h"

#include <array>
#include <cstdint>

namespace karvelo::converter {

// The headers of a Windows bitmap, as far as the converter reads them.
struct BmpHeader {
  PixelSize size;
  bool topDown = false;  // rows stored top first (a negative height)
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 and 6 bit fields
  std::uint64_t dataOffset = 0;
  std::uint64_t rowBytes = 0;            // of an uncompressed row, padded to 4 bytes
  std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha, for bit fields
  std::uint64_t paletteOffset = 0;
  std::uint32_t paletteEntrySize = 4;  // 3 in the oldest headers
  std::uint32_t paletteCount = 0;
  std::int32_t pixelsPerMetreX = 0;  // 0 where the header has no resolution
  std::int32_t pixelsPerMetreY = 0;
};

inline constexpr std::uint32_t bmpRle8 = 1;
inline constexpr std::uint32_t bmpRle4 = 2;

// Throws ConversionError: DamagedPicture for headers cut short or uncompressed rows beyond the end
// of the file, UnsupportedFormat for compressions the converter does not read (JPEG, PNG).
BmpHeader readBmpHeader(const ByteSource& source);

}  // namespace karvelo::converter
