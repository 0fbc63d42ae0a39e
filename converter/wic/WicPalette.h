// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"
#include "converter/wic/Wic.h"

#include <cstdint>
#include <span>
#include <vector>

// Pictures written as indexes into a palette (GIF results, and the results of palette sources).
namespace karvelo::converter::wic {

// The result's rows gathered in a bitmap in memory (4 bytes a pixel), since the component makes
// one palette from a whole bitmap; then made into at most a given number of colours, mapped with
// error diffusion, and read back as indexes. Pixels less than half opaque become one transparent
// entry, the palette's last: the component's palettes are made from colour alone.
class IndexedPixels {
 public:
  explicit IndexedPixels(PixelSize size);

  // The next row, top to bottom, of gray, RGB or RGBA pixels.
  void addRow(std::span<const std::uint8_t> row, ColorModel model);

  // Makes the palette, of at most `maxColors` entries counting the transparent one.
  IWICPalette& makePalette(unsigned maxColors);
  // After makePalette: how many entries it has, and which is transparent, if any.
  unsigned colorCount() const { return colorCount_; }
  bool transparent() const { return transparent_; }
  std::uint8_t transparentIndex() const { return static_cast<std::uint8_t>(colorCount_ - 1); }

  // After makePalette: the indexes of `rows` rows from `y`, 8 bits a pixel, `size.width` a row.
  void copyIndexes(std::uint32_t y, std::uint32_t rows, std::uint8_t* out);

 private:
  void check(HRESULT result) const;

  PixelSize size_;
  ComPtr<IWICBitmap> bitmap_;
  ComPtr<IWICBitmapLock> lock_;
  std::uint8_t* pixels_ = nullptr;
  std::size_t stride_ = 0;
  std::uint32_t row_ = 0;
  bool transparent_ = false;
  ComPtr<IWICPalette> palette_;
  ComPtr<IWICFormatConverter> indexes_;
  unsigned colorCount_ = 0;
  std::vector<std::uint8_t> alpha_;
};

// The indexed pixel format of 1, 2, 4 or 8 bits, and the bits of an indexed format (0 for others).
const GUID& indexedFormatOf(int bits);
int indexBitsOf(const GUID& format);

// Packs 8-bit indexes into rows of `bits` bits a pixel, the first pixel in the highest bits, each
// row padded to whole bytes.
void packIndexes(const std::uint8_t* in, std::uint32_t width, int bits, std::uint8_t* out);

}  // namespace karvelo::converter::wic
