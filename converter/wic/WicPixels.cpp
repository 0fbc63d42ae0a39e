#include "converter/wic/WicPixels.h"

#include <array>

namespace karvelo::converter::wic {

namespace {

using Pixel = std::array<std::uint8_t, 4>;  // red, green, blue, alpha; or C, M, Y, K

Pixel read(Layout layout, const std::uint8_t* p) {
  switch (layout) {
    case Layout::Gray8:
      return {p[0], p[0], p[0], 255};
    case Layout::Bgr24:
      return {p[2], p[1], p[0], 255};
    case Layout::Bgra32:
      return {p[2], p[1], p[0], p[3]};
    case Layout::Cmyk32:
      break;
  }
  return {p[0], p[1], p[2], p[3]};
}

Pixel read(ColorModel model, const std::uint8_t* p) {
  switch (model) {
    case ColorModel::Gray:
      return {p[0], p[0], p[0], 255};
    case ColorModel::GrayAlpha:
      return {p[0], p[0], p[0], p[1]};
    case ColorModel::Rgb:
      return {p[0], p[1], p[2], 255};
    case ColorModel::Rgba:
    case ColorModel::Cmyk:
      break;
  }
  return {p[0], p[1], p[2], p[3]};
}

// Colour from inks, for a CMYK pixel that must be written as colour.
Pixel inkToColour(const Pixel& ink) {
  const auto channel = [&](std::uint8_t amount) {
    return static_cast<std::uint8_t>((255 - amount) * (255 - ink[3]) / 255);
  };
  return {channel(ink[0]), channel(ink[1]), channel(ink[2]), 255};
}

void write(const Pixel& pixel, ColorModel model, std::uint8_t* p) {
  switch (model) {
    case ColorModel::Gray:
      p[0] = pixel[1];
      return;
    case ColorModel::GrayAlpha:
      p[0] = pixel[1];
      p[1] = pixel[3];
      return;
    case ColorModel::Rgb:
      p[0] = pixel[0];
      p[1] = pixel[1];
      p[2] = pixel[2];
      return;
    case ColorModel::Rgba:
    case ColorModel::Cmyk:
      break;
  }
  p[0] = pixel[0];
  p[1] = pixel[1];
  p[2] = pixel[2];
  p[3] = pixel[3];
}

void write(const Pixel& pixel, Layout layout, std::uint8_t* p) {
  switch (layout) {
    case Layout::Gray8:
      p[0] = pixel[1];
      return;
    case Layout::Bgr24:
      p[0] = pixel[2];
      p[1] = pixel[1];
      p[2] = pixel[0];
      return;
    case Layout::Bgra32:
      p[0] = pixel[2];
      p[1] = pixel[1];
      p[2] = pixel[0];
      p[3] = pixel[3];
      return;
    case Layout::Cmyk32:
      break;
  }
  p[0] = pixel[0];
  p[1] = pixel[1];
  p[2] = pixel[2];
  p[3] = pixel[3];
}

}  // namespace

int bytesPerPixel(Layout layout) {
  switch (layout) {
    case Layout::Gray8:
      return 1;
    case Layout::Bgr24:
      return 3;
    case Layout::Bgra32:
    case Layout::Cmyk32:
      break;
  }
  return 4;
}

const GUID& pixelFormatOf(Layout layout) {
  switch (layout) {
    case Layout::Gray8:
      return GUID_WICPixelFormat8bppGray;
    case Layout::Bgr24:
      return GUID_WICPixelFormat24bppBGR;
    case Layout::Bgra32:
      return GUID_WICPixelFormat32bppBGRA;
    case Layout::Cmyk32:
      break;
  }
  return GUID_WICPixelFormat32bppCMYK;
}

std::optional<Layout> layoutOf(const GUID& pixelFormat) {
  for (Layout layout : {Layout::Gray8, Layout::Bgr24, Layout::Bgra32, Layout::Cmyk32}) {
    if (IsEqualGUID(pixelFormat, pixelFormatOf(layout))) {
      return layout;
    }
  }
  return std::nullopt;
}

void convertRow(Layout from, const std::uint8_t* in, ColorModel to, std::uint8_t* out,
                std::uint32_t width) {
  const int inBytes = bytesPerPixel(from);
  const int outBytes = channelsOf(to);
  const bool ink = from == Layout::Cmyk32 && to != ColorModel::Cmyk;
  for (std::uint32_t x = 0; x < width; ++x, in += inBytes, out += outBytes) {
    const Pixel pixel = read(from, in);
    write(ink ? inkToColour(pixel) : pixel, to, out);
  }
}

void convertRow(ColorModel from, const std::uint8_t* in, Layout to, std::uint8_t* out,
                std::uint32_t width) {
  const int inBytes = channelsOf(from);
  const int outBytes = bytesPerPixel(to);
  const bool ink = from == ColorModel::Cmyk && to != Layout::Cmyk32;
  for (std::uint32_t x = 0; x < width; ++x, in += inBytes, out += outBytes) {
    const Pixel pixel = read(from, in);
    write(ink ? inkToColour(pixel) : pixel, to, out);
  }
}

}  // namespace karvelo::converter::wic
