// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"

#include <cstdint>
#include <optional>

#include <wincodec.h>

// How rows cross between the converter and the imaging component: the converter orders colour
// red, green, blue; the component's pixel formats mostly blue, green, red. Samples are of 8 bits,
// or of 16 in the machine's byte order, which the component's 16-bit formats share.
namespace karvelo::converter::wic {

struct Layout {
  ColorModel model = ColorModel::Rgb;
  bool blueFirst = false;
  int bitsPerSample = 8;

  bool operator==(const Layout&) const = default;
  int bytesPerPixel() const { return channelsOf(model) * bitsPerSample / 8; }
};

// The component's pixel formats that rows are read and written in.
inline constexpr Layout gray8{ColorModel::Gray};
inline constexpr Layout bgr24{ColorModel::Rgb, true};
inline constexpr Layout bgra32{ColorModel::Rgba, true};
inline constexpr Layout cmyk32{ColorModel::Cmyk};
inline constexpr Layout gray16{ColorModel::Gray, false, 16};
inline constexpr Layout rgb48{ColorModel::Rgb, false, 16};
inline constexpr Layout bgr48{ColorModel::Rgb, true, 16};
inline constexpr Layout rgba64{ColorModel::Rgba, false, 16};
inline constexpr Layout bgra64{ColorModel::Rgba, true, 16};
inline constexpr Layout cmyk64{ColorModel::Cmyk, false, 16};

// The pixel format of one of the layouts above.
const GUID& pixelFormatOf(Layout layout);
// The layout of a pixel format, if it is one of those above.
std::optional<Layout> layoutOf(const GUID& pixelFormat);
// The layout that holds a model's pixels without loss: of 8-bit samples in the component's usual
// order (BGR), or of 16-bit samples in the converter's channel order.
Layout layoutFor(ColorModel model, int bitsPerSample = 8);

// Converts `width` pixels. Colour made from CMYK is the plain inverse of the inks, for the rare
// encoder that cannot store CMYK; no other pair loses more than alpha or colour, and 16-bit
// samples narrowed to 8 bits are rounded to the nearest.
void convertRow(Layout from, const std::uint8_t* in, Layout to, std::uint8_t* out,
                std::uint32_t width);

}  // namespace karvelo::converter::wic
