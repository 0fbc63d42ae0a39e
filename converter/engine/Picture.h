// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace karvelo::converter {

enum class PictureFormat { Jpeg, Png, Webp, Bmp, Gif, Tiff };

// Pixels per unit of length, across and down, in the unit and the numbers that the source's
// format stores: a result in the same format stores them as they were. Each number is a fraction,
// as TIFF stores it; the other formats store whole numbers (denominator 1).
struct Resolution {
  // None: the numbers give only the shape of a pixel (JFIF and PNG can say no more).
  enum class Unit { None, Inch, Centimetre, Metre };

  std::uint32_t x = 0;
  std::uint32_t xDenominator = 1;
  std::uint32_t y = 0;
  std::uint32_t yDenominator = 1;
  Unit unit = Unit::None;

  bool operator==(const Resolution&) const = default;
};

// What the converter carries over from the source into the result, read from the file's bytes.
struct Metadata {
  std::vector<std::uint8_t> icc;   // the ICC profile, as embedded
  std::vector<std::uint8_t> exif;  // the TIFF-structured EXIF block
  int orientation = 1;             // how the stored pixels must turn to stand upright (1 to 8)
  std::optional<Resolution> resolution;  // outside EXIF: JFIF, pHYs, TIFF tags, BMP header
};

// How many pixels share one colour (chroma) sample of a JPEG, across and down: 4:4:4 is 1 x 1,
// 4:2:2 2 x 1, 4:4:0 1 x 2, 4:2:0 2 x 2.
struct ChromaSampling {
  int across = 2;
  int down = 2;

  bool operator==(const ChromaSampling&) const = default;
};

// The chroma sampling of components sampled `luma` and `chroma` times per unit (a JPEG frame's
// sampling factors): 4:4:4 where the chroma is not coarser by a whole factor of 1 to 4.
constexpr ChromaSampling chromaSamplingOf(int lumaAcross, int lumaDown, int chromaAcross,
                                          int chromaDown) {
  const auto ratio = [](int luma, int chroma) {
    return chroma > 0 && luma % chroma == 0 && luma / chroma <= 4 ? luma / chroma : 1;
  };
  return {ratio(lumaAcross, chromaAcross), ratio(lumaDown, chromaDown)};
}

// How the source was encoded, so that the result is encoded alike.
struct EncodingHints {
  bool lossless = false;    // WebP: written losslessly, so the result is too
  ChromaSampling chroma;     // JPEG: how colour was subsampled
  int compression = 0;      // TIFF: the compression scheme of the source (tag 259)
};

// A whole picture in memory: what tests, benchmarks and fuzzing read and write.
struct Picture {
  Image image;
  Metadata metadata;
  EncodingHints hints;
};

}  // namespace karvelo::converter
