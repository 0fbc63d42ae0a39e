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

// A 16-bit sample rounded to the nearest 8-bit one (65535 is 255, as 255 is).
constexpr std::uint8_t narrowSample(std::uint16_t value) {
  return static_cast<std::uint8_t>((value * 255U + 32767U) / 65535U);
}

// 8-bit pixels, rows top to bottom without padding.
struct Image {
  PixelSize size;
  ColorModel model = ColorModel::Rgb;
  std::vector<std::uint8_t> pixels;

  int channels() const { return channelsOf(model); }
  std::size_t rowBytes() const { return std::size_t{size.width} * channels(); }

  static Image blank(PixelSize size, ColorModel model) {
    Image image{size, model, {}};
    image.pixels.resize(image.rowBytes() * size.height);
    return image;
  }
};

}  // namespace karvelo::converter
