// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/PixelSize.h"
#include "converter/engine/RowStore.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct liq_attr;
struct liq_result;

namespace karvelo::converter {

using PaletteColor = std::array<std::uint8_t, 4>;  // red, green, blue, alpha (straight)

// Reduces a picture to a palette of at most `maxColors` colours with libimagequant and maps its
// pixels to it with error diffusion: how GIF results and the results of palette sources are made.
// One palette serves the whole picture, so the rows are gathered first (in a RowStore: in memory,
// on disk when large); only the result's rows are ever held, never the source's. The colours are
// counted and remapped band by band, which bounds what libimagequant holds at once.
class PaletteQuantizer {
 public:
  PaletteQuantizer(PixelSize size, unsigned maxColors);
  ~PaletteQuantizer();
  PaletteQuantizer(const PaletteQuantizer&) = delete;
  PaletteQuantizer& operator=(const PaletteQuantizer&) = delete;

  // The next row, top to bottom: `channels` 8-bit samples a pixel, RGB (3) or RGBA (4).
  void addRow(std::span<const std::uint8_t> row, int channels);

  // Makes the palette from all the rows; the colours with some transparency come first.
  std::vector<PaletteColor> quantize();

  // After quantize: each row's palette indexes, top to bottom.
  void remap(const std::function<void(std::uint32_t y, std::span<const std::uint8_t>)>& row);

 private:
  struct AttrFree {
    void operator()(liq_attr* attr) const;
  };
  struct ResultFree {
    void operator()(liq_result* result) const;
  };

  void readBand(std::uint32_t y, std::uint32_t count);

  PixelSize size_;
  std::uint32_t bandRows_ = 1;
  RowStore store_;
  std::vector<std::uint8_t> band_;
  std::uint32_t rows_ = 0;
  std::array<std::uint8_t, 256> indexOf_{};  // the palette entry of each libimagequant index
  std::unique_ptr<liq_attr, AttrFree> attr_;
  std::unique_ptr<liq_result, ResultFree> result_;
};

}  // namespace karvelo::converter
