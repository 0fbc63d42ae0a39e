// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"

namespace karvelo::bench {

// The reference result: a Lanczos-3 resize of the full-size decode, computed in double
// precision with colour weighted by alpha. Returned as doubles scaled 0..255, premultiplied.
struct ReferenceImage {
  converter::PixelSize size;
  int channels = 0;
  std::vector<double> values;
};

ReferenceImage lanczosReference(const converter::Image& source, converter::PixelSize target);

// Peak signal-to-noise ratio in dB of an 8-bit result against the reference (colour
// premultiplied by alpha on both sides); infinity for identical pictures.
double psnr(const converter::Image& result, const ReferenceImage& reference);

}  // namespace karvelo::bench
