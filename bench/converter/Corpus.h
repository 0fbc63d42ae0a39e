// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace karvelo::bench {

// One class of pictures of the benchmark, all written into one folder.
struct PictureClass {
  std::string name;
  std::vector<std::filesystem::path> files;
  bool photoLike = false;
  std::uint32_t height = 0;  // resized to this many rows, each picture on its own; 0: to 25 %
};

// Writes the corpus into `folder` unless it is already there; the same every time:
// 12-megapixel photo-like JPEGs, 800 x 600 photo-like JPEGs, and 1920 x 1080 PNG screenshots
// with text and transparency; with `large`, also 20000 x 20000 pictures and files of a few bytes
// that declare as many pixels.
std::vector<PictureClass> makeCorpus(const std::filesystem::path& folder, int photos,
                                     int smallPhotos, int screenshots, bool large);

// The pictures of the format classes, `count` of each (two large PNGs): 1920 x 1080 screenshots
// with text as JPEGs, 5640 x 3172 photo-like PNGs, 4000 x 3000 photo-like lossy WebPs, and
// 2560 x 1440 screenshots with transparency as lossless WebPs, and 4000 x 3000 photo-like
// pictures as a phone takes them, HEIC and AVIF.
struct FormatCorpus {
  PictureClass jpegScreenshots;
  PictureClass largePng;
  PictureClass lossyWebp;
  PictureClass losslessWebp;
  PictureClass heic;
  PictureClass avif;
};
FormatCorpus makeFormatCorpus(const std::filesystem::path& folder, int count);

}  // namespace karvelo::bench
