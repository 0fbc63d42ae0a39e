// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"

#include <cstdint>
#include <optional>

#include <wincodec.h>

// How rows cross between the converter and the imaging component: the converter orders colour
// red, green, blue; the component's pixel formats mostly blue, green, red.
namespace karvelo::converter::wic {

struct Layout {
  ColorModel model = ColorModel::Rgb;
  bool blueFirst = false;

  bool operator==(const Layout&) const = default;
  int bytesPerPixel() const { return channelsOf(model); }
};

// The component's pixel formats that rows are read and written in.
inline constexpr Layout gray8{ColorModel::Gray};
inline constexpr Layout bgr24{ColorModel::Rgb, true};
inline constexpr Layout bgra32{ColorModel::Rgba, true};
inline constexpr Layout cmyk32{ColorModel::Cmyk};

// The pixel format of gray8, bgr24, bgra32 or cmyk32.
const GUID& pixelFormatOf(Layout layout);
// The layout of a pixel format, if it is one of those four.
std::optional<Layout> layoutOf(const GUID& pixelFormat);

// Converts `width` pixels. Colour made from CMYK is the plain inverse of the inks, for the rare
// encoder that cannot store CMYK; no other pair loses more than alpha or colour.
void convertRow(Layout from, const std::uint8_t* in, Layout to, std::uint8_t* out,
                std::uint32_t width);

}  // namespace karvelo::converter::wic
