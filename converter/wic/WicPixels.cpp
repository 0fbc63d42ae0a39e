// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/wic/WicPixels.h"

#include <array>
#include <utility>

namespace karvelo::converter::wic {

namespace {

using Pixel = std::array<std::uint8_t, 4>;  // red, green, blue, alpha; or C, M, Y, K

Pixel read(Layout layout, const std::uint8_t* p) {
  Pixel pixel{p[0], p[0], p[0], 255};
  switch (layout.model) {
    case ColorModel::Gray:
      break;
    case ColorModel::GrayAlpha:
      pixel[3] = p[1];
      break;
    case ColorModel::Rgb:
      pixel = {p[0], p[1], p[2], 255};
      break;
    case ColorModel::Rgba:
    case ColorModel::Cmyk:
      pixel = {p[0], p[1], p[2], p[3]};
      break;
  }
  if (layout.blueFirst) {
    std::swap(pixel[0], pixel[2]);
  }
  return pixel;
}

void write(Pixel pixel, Layout layout, std::uint8_t* p) {
  if (layout.blueFirst) {
    std::swap(pixel[0], pixel[2]);
  }
  switch (layout.model) {
    case ColorModel::Gray:
      p[0] = pixel[1];
      return;
    case ColorModel::GrayAlpha:
      p[0] = pixel[1];
      p[1] = pixel[3];
      return;
    case ColorModel::Rgb:
    case ColorModel::Rgba:
    case ColorModel::Cmyk:
      for (int c = 0; c < layout.bytesPerPixel(); ++c) {
        p[c] = pixel[static_cast<std::size_t>(c)];
      }
      return;
  }
}

// Colour from inks, for a CMYK pixel that must be written as colour.
Pixel inkToColour(const Pixel& ink) {
  const auto channel = [&](std::uint8_t amount) {
    return static_cast<std::uint8_t>((255 - amount) * (255 - ink[3]) / 255);
  };
  return {channel(ink[0]), channel(ink[1]), channel(ink[2]), 255};
}

}  // namespace

const GUID& pixelFormatOf(Layout layout) {
  if (layout == gray8) {
    return GUID_WICPixelFormat8bppGray;
  }
  if (layout == bgr24) {
    return GUID_WICPixelFormat24bppBGR;
  }
  if (layout == bgra32) {
    return GUID_WICPixelFormat32bppBGRA;
  }
  return GUID_WICPixelFormat32bppCMYK;
}

std::optional<Layout> layoutOf(const GUID& pixelFormat) {
  for (Layout layout : {gray8, bgr24, bgra32, cmyk32}) {
    if (IsEqualGUID(pixelFormat, pixelFormatOf(layout))) {
      return layout;
    }
  }
  return std::nullopt;
}

void convertRow(Layout from, const std::uint8_t* in, Layout to, std::uint8_t* out,
                std::uint32_t width) {
  const bool ink = from.model == ColorModel::Cmyk && to.model != ColorModel::Cmyk;
  for (std::uint32_t x = 0; x < width; ++x, in += from.bytesPerPixel(), out += to.bytesPerPixel()) {
    const Pixel pixel = read(from, in);
    write(ink ? inkToColour(pixel) : pixel, to, out);
  }
}

}  // namespace karvelo::converter::wic
