// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/PixelSize.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace karvelo::converter {

// What the channels of a pixel mean. Alpha is straight (not premultiplied).
enum class ColorModel { Gray, GrayAlpha, Rgb, Rgba, Cmyk };

constexpr int channelsOf(ColorModel model) {
  switch (model) {
    case ColorModel::Gray:
      return 1;
    case ColorModel::GrayAlpha:
      return 2;
    case ColorModel::Rgb:
      return 3;
    case ColorModel::Rgba:
    case ColorModel::Cmyk:
      return 4;
  }
  return 0;
}

constexpr bool hasAlpha(ColorModel model) {
  return model == ColorModel::GrayAlpha || model == ColorModel::Rgba;
}

// Pixels of 8-bit samples, or of 16-bit ones in the machine's byte order, rows top to bottom
// without padding.
struct Image {
  PixelSize size;
  ColorModel model = ColorModel::Rgb;
  std::vector<std::uint8_t> pixels;
  int bitsPerSample = 8;

  int channels() const { return channelsOf(model); }
  std::size_t rowBytes() const {
    return std::size_t{size.width} * channels() * (bitsPerSample / 8);
  }

  static Image blank(PixelSize size, ColorModel model, int bitsPerSample = 8) {
    Image image{size, model, {}, bitsPerSample};
    image.pixels.resize(image.rowBytes() * size.height);
    return image;
  }
};

}  // namespace karvelo::converter
