// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/PixelSize.h"

#include <cstdint>
#include <span>
#include <vector>

#include <tiffio.h>

namespace karvelo::converter {

// Rows of a TIFF whose samples lie in tiles, or in separate planes, put side by side as a
// scanline of samples side by side holds them, so that they are read as wide as stored rather
// than through libtiff's RGBA interface, which gives 8 bits. Rows are gathered a band at a time:
// a row of tiles or a strip, fewer rows when a band would pass 16 MB, at the cost of decoding its
// tiles again for the next band.
class TiffPieces {
 public:
  TiffPieces(TIFF* tiff, PixelSize size, std::size_t samples, std::size_t sampleBytes);

  // Fills `row` (width times samples samples) with row y; rows come top to bottom. False when
  // libtiff cannot read a piece.
  bool read(std::uint32_t y, std::span<std::uint8_t> row);

 private:
  bool readBand(std::uint32_t first);
  const std::uint8_t* readPiece(std::uint32_t x, std::uint32_t y, std::uint16_t plane);

  TIFF* tiff_;
  PixelSize size_;
  bool tiled_;
  std::size_t planes_;        // 1 when the samples are side by side
  std::size_t pieceSamples_;  // samples of a pixel in one piece
  std::size_t sampleBytes_;
  PixelSize piece_;  // a tile's size, or a strip's (the picture's width)
  // The last piece decoded of each plane, and its index: a strip read for one band serves the
  // next ones too.
  std::vector<std::vector<std::uint8_t>> pieceBytes_;
  std::vector<std::uint32_t> pieceIndex_;
  std::vector<std::uint8_t> band_;
  std::uint32_t bandFirst_ = 0;
  std::uint32_t bandRows_ = 0;
  std::uint32_t bandCapacity_ = 1;
};

}  // namespace karvelo::converter
