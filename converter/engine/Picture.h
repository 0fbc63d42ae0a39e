#pragma once

#include "converter/engine/Image.h"

#include <cstdint>
#include <vector>

namespace karvelo::converter {

enum class PictureFormat { Jpeg, Png, Webp, Bmp, Gif, Tiff };

// A decoded picture with what the converter carries over into the result.
struct Picture {
  Image image;
  std::vector<std::uint8_t> icc;   // the ICC profile, as embedded
  std::vector<std::uint8_t> exif;  // the TIFF-structured EXIF block
  int orientation = 1;             // how the stored pixels must turn to stand upright
  bool lossless = false;           // WebP: written losslessly, so the result is too
  bool fullChroma = false;         // JPEG: stored without chroma subsampling
  int compression = 0;             // TIFF: the compression scheme of the source
};

// What a codec learns from the headers alone, before any pixel is read.
struct PictureHeader {
  PixelSize size;       // as stored
  int orientation = 1;  // from the EXIF data where the headers hold it
};

}  // namespace karvelo::converter
