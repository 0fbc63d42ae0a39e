// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/wic/WicPalette.h"

#include <algorithm>
#include <stdexcept>

namespace karvelo::converter::wic {

IndexedPixels::IndexedPixels(PixelSize size) : size_(size) {
  check(factory().CreateBitmap(size_.width, size_.height, GUID_WICPixelFormat32bppBGRA,
                               WICBitmapCacheOnLoad, &bitmap_));
  const WICRect all{0, 0, static_cast<INT>(size_.width), static_cast<INT>(size_.height)};
  check(bitmap_->Lock(&all, WICBitmapLockWrite, &lock_));
  UINT bytes = 0;
  UINT stride = 0;
  check(lock_->GetStride(&stride));
  check(lock_->GetDataPointer(&bytes, &pixels_));
  stride_ = stride;
}

void IndexedPixels::addRow(std::span<const std::uint8_t> row, ColorModel model) {
  const std::size_t channels = static_cast<std::size_t>(channelsOf(model));
  const bool alpha = hasAlpha(model);
  std::uint8_t* out = pixels_ + std::size_t{row_++} * stride_;
  for (std::size_t i = 0; i < row.size(); i += channels, out += 4) {
    if (alpha && row[i + channels - 1] < 128) {
      std::fill_n(out, 4, 0);
      transparent_ = true;
    } else {
      const bool gray = channels < 3;
      out[0] = row[gray ? i : i + 2];
      out[1] = row[gray ? i : i + 1];
      out[2] = row[i];
      out[3] = 255;
    }
  }
}

IWICPalette& IndexedPixels::makePalette(unsigned maxColors) {
  lock_.Reset();
  // The opaque colours, at least two (the component makes no smaller palette); the transparent
  // entry is added after them.
  const unsigned opaqueColors = std::max(2U, maxColors - (transparent_ ? 1 : 0));
  ComPtr<IWICPalette> opaque;
  check(factory().CreatePalette(&opaque));
  check(opaque->InitializeFromBitmap(bitmap_.Get(), opaqueColors, FALSE));
  check(factory().CreateFormatConverter(&indexes_));
  check(indexes_->Initialize(bitmap_.Get(), GUID_WICPixelFormat8bppIndexed,
                             WICBitmapDitherTypeErrorDiffusion, opaque.Get(), 0.0,
                             WICBitmapPaletteTypeCustom));
  UINT count = 0;
  check(opaque->GetColorCount(&count));
  std::vector<WICColor> colors(count);
  check(opaque->GetColors(count, colors.data(), &count));
  colors.resize(count);
  if (transparent_) {
    colors.push_back(0);
  }
  colorCount_ = static_cast<unsigned>(colors.size());
  check(factory().CreatePalette(&palette_));
  check(palette_->InitializeCustom(colors.data(), colorCount_));
  return *palette_.Get();
}

void IndexedPixels::copyIndexes(std::uint32_t y, std::uint32_t rows, std::uint8_t* out) {
  const WICRect area{0, static_cast<INT>(y), static_cast<INT>(size_.width),
                     static_cast<INT>(rows)};
  const auto bytes = static_cast<UINT>(std::size_t{size_.width} * rows);
  check(indexes_->CopyPixels(&area, size_.width, bytes, out));
  if (transparent_) {
    alpha_.resize(std::size_t{bytes} * 4);
    check(bitmap_->CopyPixels(&area, size_.width * 4, bytes * 4, alpha_.data()));
    for (std::size_t i = 0; i < bytes; ++i) {
      if (alpha_[i * 4 + 3] == 0) {
        out[i] = transparentIndex();
      }
    }
  }
}

void IndexedPixels::check(HRESULT result) const {
  if (FAILED(result)) {
    throw std::runtime_error("the imaging component cannot make a palette (" + hex(result) + ")");
  }
}

const GUID& indexedFormatOf(int bits) {
  switch (bits) {
    case 1:
      return GUID_WICPixelFormat1bppIndexed;
    case 2:
      return GUID_WICPixelFormat2bppIndexed;
    case 4:
      return GUID_WICPixelFormat4bppIndexed;
    default:
      return GUID_WICPixelFormat8bppIndexed;
  }
}

int indexBitsOf(const GUID& format) {
  for (int bits : {1, 2, 4, 8}) {
    if (IsEqualGUID(format, indexedFormatOf(bits))) {
      return bits;
    }
  }
  return 0;
}

void packIndexes(const std::uint8_t* in, std::uint32_t width, int bits, std::uint8_t* out) {
  if (bits == 8) {
    std::copy_n(in, width, out);
    return;
  }
  std::fill_n(out, (std::size_t{width} * bits + 7) / 8, 0);
  for (std::uint32_t x = 0; x < width; ++x) {
    const std::size_t bit = std::size_t{x} * static_cast<std::size_t>(bits);
    out[bit / 8] |= static_cast<std::uint8_t>(in[x] << (8 - bits - bit % 8));
  }
}

}  // namespace karvelo::converter::wic
