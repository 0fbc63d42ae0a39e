// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/Orientation.h"

#include <algorithm>
#include <cstring>

namespace karvelo::converter {

namespace {

bool transposes(int orientation) { return orientation >= 5 && orientation <= 8; }

void mirror(std::span<std::uint8_t> row, std::size_t channels) {
  const std::size_t width = row.size() / channels;
  for (std::size_t x = 0; x < width / 2; ++x) {
    std::swap_ranges(row.begin() + static_cast<std::ptrdiff_t>(x * channels),
                     row.begin() + static_cast<std::ptrdiff_t>((x + 1) * channels),
                     row.begin() + static_cast<std::ptrdiff_t>((width - 1 - x) * channels));
  }
}

}  // namespace

PixelSize uprightSize(PixelSize stored, int orientation) {
  return transposes(orientation) ? stored.transposed() : stored;
}

UprightRows::UprightRows(PixelSize stored, ColorModel model, int orientation, RowConsumer out,
                         std::size_t memoryLimit, int bitsPerSample)
    : stored_(stored),
      channels_(static_cast<std::size_t>(channelsOf(model) * (bitsPerSample / 8))),
      orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1),
      out_(std::move(out)),
      memoryLimit_(memoryLimit) {
  if (orientation_ >= 3) {
    store_.emplace(stored.width * channels_, stored.height, memoryLimit);
  }
  turned_.resize(std::size_t{uprightSize(stored, orientation_).width} * channels_);
}

void UprightRows::push(std::span<const std::uint8_t> row) {
  if (store_) {
    store_->write(row_++, row);
    return;
  }
  if (orientation_ == 2) {
    std::copy(row.begin(), row.end(), turned_.begin());
    mirror(turned_, channels_);
    out_(turned_);
    return;
  }
  out_(row);
}

void UprightRows::finish() {
  if (!store_) {
    return;
  }
  const std::uint32_t lastRow = stored_.height - 1;
  if (!transposes(orientation_)) {
    // 3 and 4: the stored rows bottom up, 3 also mirrored.
    for (std::uint32_t y = 0; y < stored_.height; ++y) {
      store_->read(lastRow - y, 0, turned_);
      if (orientation_ == 3) {
        mirror(turned_, channels_);
      }
      out_(turned_);
    }
    return;
  }
  // Upright row y is stored column y (5, 6) or lastColumn - y (7, 8); upright column x is stored
  // row x (5, 8) or lastRow - x (6, 7). Rows are made a band at a time, reading each stored row's
  // share of the band's columns once, so that a stored result on disk is read once in all.
  const std::size_t uprightRow = turned_.size();
  const std::size_t band = std::max<std::size_t>(
      1, std::min<std::size_t>(stored_.width,
                               memoryLimit_ / 4 / std::max<std::size_t>(uprightRow, 1)));
  const bool fromRight = orientation_ == 7 || orientation_ == 8;
  const bool fromBottom = orientation_ == 6 || orientation_ == 7;
  std::vector<std::uint8_t> rows(band * uprightRow);
  std::vector<std::uint8_t> piece(band * channels_);
  for (std::uint32_t y0 = 0; y0 < stored_.width; y0 += static_cast<std::uint32_t>(band)) {
    const std::uint32_t count =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(band), stored_.width - y0);
    // The stored columns of upright rows y0 .. y0 + count - 1, as one run.
    const std::uint32_t firstColumn = fromRight ? stored_.width - y0 - count : y0;
    for (std::uint32_t sy = 0; sy < stored_.height; ++sy) {
      store_->read(sy, firstColumn * channels_, std::span(piece).first(count * channels_));
      const std::uint32_t x = fromBottom ? lastRow - sy : sy;
      for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t column = firstColumn + k;
        const std::uint32_t y = (fromRight ? stored_.width - 1 - column : column) - y0;
        std::memcpy(rows.data() + y * uprightRow + x * channels_, piece.data() + k * channels_,
                    channels_);
      }
    }
    for (std::uint32_t k = 0; k < count; ++k) {
      out_(std::span(rows).subspan(k * uprightRow, uprightRow));
    }
  }
}

}  // namespace karvelo::converter
