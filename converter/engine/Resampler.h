#pragma once

#include "converter/engine/Image.h"

namespace karvelo::converter {

// Resizes with a Lanczos-3 filter (libswscale, each channel as its own plane, so colours are
// never converted). Colour is weighted by alpha while filtering, so transparent pixels do not
// bleed their hidden colour into the edges.
Image resample(Image source, PixelSize target);

}  // namespace karvelo::converter
