#pragma once

#include "converter/engine/Image.h"

#include <cstdint>
#include <optional>
#include <span>

#include <wincodec.h>

// The few pixel layouts in which rows cross between the converter and the imaging component, and
// the conversion of rows between them and the converter's colour models. The imaging component
// orders colour as blue, green, red; the converter as red, green, blue.
namespace karvelo::converter::wic {

enum class Layout { Gray8, Bgr24, Bgra32, Cmyk32 };

int bytesPerPixel(Layout layout);
const GUID& pixelFormatOf(Layout layout);
// The layout of a pixel format, if it is one of the four.
std::optional<Layout> layoutOf(const GUID& pixelFormat);

// Converts `width` pixels. Colour from CMYK is the plain inverse of the inks, for the rare encoder
// that cannot store CMYK; no other pair loses more than alpha.
void convertRow(Layout from, const std::uint8_t* in, ColorModel to, std::uint8_t* out,
                std::uint32_t width);
void convertRow(ColorModel from, const std::uint8_t* in, Layout to, std::uint8_t* out,
                std::uint32_t width);

}  // namespace karvelo::converter::wic
