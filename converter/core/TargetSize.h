// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/ConverterOptions.h"
#include "converter/core/PixelSize.h"

// The size of the result, from the upright size of the source and the sizing switches:
// a ratio scales both sides; a height or width alone changes only that side, unless the aspect is
// kept, in which case the other side follows in proportion. Sides are rounded to the nearest
// pixel and are at least 1.
namespace karvelo::converter {

// Throws ConversionError(PictureTooLarge) when the result would exceed maxPictureArea.
PixelSize targetSize(PixelSize source, const ConverterOptions& options);

// Throws ConversionError(PictureTooLarge) for a source above maxPictureArea.
void checkSourceSize(PixelSize source);

// Throws ConversionError(PictureTooLarge) when the frames or pages of a picture, or of its
// result, hold more than maxPictureArea pixels together, so that many large frames are refused
// like one huge picture.
void checkAllFrames(std::uint64_t pixels, std::uint32_t frames, const char* whose = "picture");

}  // namespace karvelo::converter
