// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/wic/WicPixels.h"

#include <array>
#include <cstring>
#include <limits>
#include <utility>

namespace karvelo::converter::wic {

namespace {

// Red, green, blue, alpha; or C, M, Y, K: samples of 8 or 16 bits.
template <typename Sample>
using Pixel = std::array<Sample, 4>;

template <typename Sample>
Sample load(const std::uint8_t* p, int index) {
  Sample sample;
  std::memcpy(&sample, p + index * sizeof(Sample), sizeof(Sample));
  return sample;
}

template <typename Sample>
void store(Sample sample, std::uint8_t* p, int index) {
  std::memcpy(p + index * sizeof(Sample), &sample, sizeof(Sample));
}

template <typename Sample>
Pixel<Sample> read(Layout layout, const std::uint8_t* p) {
  const auto at = [&](int index) { return load<Sample>(p, index); };
  const Sample first = at(0);
  Pixel<Sample> pixel{first, first, first, std::numeric_limits<Sample>::max()};
  switch (layout.model) {
    case ColorModel::Gray:
      break;
    case ColorModel::GrayAlpha:
      pixel[3] = at(1);
      break;
    case ColorModel::Rgb:
      pixel = {first, at(1), at(2), std::numeric_limits<Sample>::max()};
      break;
    case ColorModel::Rgba:
    case ColorModel::Cmyk:
      pixel = {first, at(1), at(2), at(3)};
      break;
  }
  if (layout.blueFirst) {
    std::swap(pixel[0], pixel[2]);
  }
  return pixel;
}

template <typename Sample>
void write(Pixel<Sample> pixel, Layout layout, std::uint8_t* p) {
  if (layout.blueFirst) {
    std::swap(pixel[0], pixel[2]);
  }
  switch (layout.model) {
    case ColorModel::Gray:
      store(pixel[1], p, 0);
      return;
    case ColorModel::GrayAlpha:
      store(pixel[1], p, 0);
      store(pixel[3], p, 1);
      return;
    case ColorModel::Rgb:
    case ColorModel::Rgba:
    case ColorModel::Cmyk:
      for (int c = 0; c < channelsOf(layout.model); ++c) {
        store(pixel[static_cast<std::size_t>(c)], p, c);
      }
      return;
  }
}

// Colour from inks, for a CMYK pixel that must be written as colour.
template <typename Sample>
Pixel<Sample> inkToColour(const Pixel<Sample>& ink) {
  constexpr std::uint32_t full = std::numeric_limits<Sample>::max();
  const auto channel = [&](Sample amount) {
    return static_cast<Sample>((full - amount) * (full - ink[3]) / full);
  };
  return {channel(ink[0]), channel(ink[1]), channel(ink[2]), static_cast<Sample>(full)};
}

Pixel<std::uint16_t> widen(const Pixel<std::uint8_t>& pixel) {
  Pixel<std::uint16_t> wide{};
  for (std::size_t c = 0; c < 4; ++c) {
    wide[c] = static_cast<std::uint16_t>(pixel[c] * 257);
  }
  return wide;
}

// To the nearest 8-bit sample: dropping the low byte would darken every sample, and turn a dark
// picture of values below 256 black.
Pixel<std::uint8_t> narrow(const Pixel<std::uint16_t>& pixel) {
  Pixel<std::uint8_t> narrow{};
  for (std::size_t c = 0; c < 4; ++c) {
    narrow[c] = static_cast<std::uint8_t>((pixel[c] * 255U + 32767) / 65535);
  }
  return narrow;
}

template <typename In, typename Out>
Pixel<Out> rescale(const Pixel<In>& pixel) {
  if constexpr (sizeof(In) == sizeof(Out)) {
    return pixel;
  } else if constexpr (sizeof(Out) == 2) {
    return widen(pixel);
  } else {
    return narrow(pixel);
  }
}

template <typename In, typename Out>
void convertPixels(Layout from, const std::uint8_t* in, Layout to, std::uint8_t* out,
                   std::uint32_t width) {
  const bool ink = from.model == ColorModel::Cmyk && to.model != ColorModel::Cmyk;
  for (std::uint32_t x = 0; x < width; ++x, in += from.bytesPerPixel(), out += to.bytesPerPixel()) {
    const Pixel<In> pixel = read<In>(from, in);
    write(rescale<In, Out>(ink ? inkToColour(pixel) : pixel), to, out);
  }
}

const std::pair<Layout, const GUID*> formats[] = {
    {gray8, &GUID_WICPixelFormat8bppGray},   {bgr24, &GUID_WICPixelFormat24bppBGR},
    {bgra32, &GUID_WICPixelFormat32bppBGRA}, {cmyk32, &GUID_WICPixelFormat32bppCMYK},
    {gray16, &GUID_WICPixelFormat16bppGray}, {rgb48, &GUID_WICPixelFormat48bppRGB},
    {bgr48, &GUID_WICPixelFormat48bppBGR},   {rgba64, &GUID_WICPixelFormat64bppRGBA},
    {bgra64, &GUID_WICPixelFormat64bppBGRA}, {cmyk64, &GUID_WICPixelFormat64bppCMYK}};

}  // namespace

const GUID& pixelFormatOf(Layout layout) {
  for (const auto& [known, format] : formats) {
    if (known == layout) {
      return *format;
    }
  }
  return GUID_WICPixelFormat32bppBGRA;
}

std::optional<Layout> layoutOf(const GUID& pixelFormat) {
  for (const auto& [layout, format] : formats) {
    if (IsEqualGUID(pixelFormat, *format)) {
      return layout;
    }
  }
  return std::nullopt;
}

Layout layoutFor(ColorModel model, int bitsPerSample) {
  const bool deep = bitsPerSample == 16;
  switch (model) {
    case ColorModel::Gray:
      return deep ? gray16 : gray8;
    case ColorModel::Rgb:
      return deep ? rgb48 : bgr24;
    case ColorModel::Cmyk:
      return deep ? cmyk64 : cmyk32;
    case ColorModel::GrayAlpha:
    case ColorModel::Rgba:
      break;
  }
  return deep ? rgba64 : bgra32;
}

void convertRow(Layout from, const std::uint8_t* in, Layout to, std::uint8_t* out,
                std::uint32_t width) {
  if (from.bitsPerSample == 16) {
    if (to.bitsPerSample == 16) {
      convertPixels<std::uint16_t, std::uint16_t>(from, in, to, out, width);
    } else {
      convertPixels<std::uint16_t, std::uint8_t>(from, in, to, out, width);
    }
  } else if (to.bitsPerSample == 16) {
    convertPixels<std::uint8_t, std::uint16_t>(from, in, to, out, width);
  } else {
    convertPixels<std::uint8_t, std::uint8_t>(from, in, to, out, width);
  }
}

}  // namespace karvelo::converter::wic
