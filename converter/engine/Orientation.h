// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"
#include "converter/engine/Resampler.h"
#include "converter/engine/RowStore.h"

#include <optional>

namespace karvelo::converter {

// The upright size of a stored size for an EXIF orientation (1 to 8): 5 to 8 swap the sides.
PixelSize uprightSize(PixelSize stored, int orientation);

// Turns rows upright as the EXIF orientation says: 2 mirrors, 3 turns half round, 4 flips,
// 5 transposes, 6 turns a quarter clockwise, 7 transverses, 8 turns a quarter anticlockwise;
// other values leave the rows as they are. Rows of orientations 1 and 2 pass straight on; the
// others are gathered (in memory, or on disk when large) and passed on by `finish`.
class UprightRows {
 public:
  // Rows gathered beyond `memoryLimit` bytes go to disk; the rows being turned take a quarter of
  // it at most.
  UprightRows(PixelSize stored, ColorModel model, int orientation, RowConsumer out,
              std::size_t memoryLimit = RowStore::defaultMemoryLimit, int bitsPerSample = 8);

  void push(std::span<const std::uint8_t> row);
  void finish();

 private:
  PixelSize stored_;
  std::size_t channels_;  // bytes a pixel
  int orientation_;
  RowConsumer out_;
  std::size_t memoryLimit_;
  std::optional<RowStore> store_;
  std::uint32_t row_ = 0;
  std::vector<std::uint8_t> turned_;
};

}  // namespace karvelo::converter
