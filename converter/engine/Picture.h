// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"

#include <cstdint>
#include <vector>

namespace karvelo::converter {

enum class PictureFormat { Jpeg, Png, Webp, Bmp, Gif, Tiff };

// What the converter carries over from the source into the result, read from the file's bytes.
struct Metadata {
  std::vector<std::uint8_t> icc;   // the ICC profile, as embedded
  std::vector<std::uint8_t> exif;  // the TIFF-structured EXIF block
  int orientation = 1;             // how the stored pixels must turn to stand upright (1 to 8)
};

// How the source was encoded, so that the result is encoded alike.
struct EncodingHints {
  bool lossless = false;    // WebP: written losslessly, so the result is too
  bool fullChroma = false;  // JPEG: stored without chroma subsampling
  int compression = 0;      // TIFF: the compression scheme of the source (tag 259)
};

// A whole picture in memory: what tests, benchmarks and fuzzing read and write.
struct Picture {
  Image image;
  Metadata metadata;
  EncodingHints hints;
};

}  // namespace karvelo::converter
