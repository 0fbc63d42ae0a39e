// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace karvelo::converter {

// Heif: a HEIF picture coded with HEVC (HEIC, as phones take them); Avif: one coded with AV1.
enum class PictureFormat { Jpeg, Png, Webp, Bmp, Gif, Tiff, Heif, Avif };

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
  // The rest is carried as the format holds it (a result always has its source's format).
  std::vector<std::uint8_t> xmp;  // the XMP packet
  // A JPEG's extended XMP segments, whole: their checksum binds them to the text they hold.
  std::vector<std::vector<std::uint8_t>> extendedXmp;
  // IPTC data: a JPEG's whole Photoshop segment, a TIFF's IPTC tag value.
  std::vector<std::uint8_t> iptc;
  // Comments: a JPEG's COM segments, a PNG's text chunks (type and data).
  std::vector<std::vector<std::uint8_t>> comments;
  // A TIFF's descriptive text tags (maker, model, artist, copyright, date, description,
  // software), each with its value as stored.
  std::map<std::uint16_t, std::vector<std::uint8_t>> tiffText;

  bool empty() const {
    return icc.empty() && exif.empty() && !resolution && xmp.empty() && extendedXmp.empty() &&
           iptc.empty() && comments.empty() && tiffText.empty();
  }
  // The bytes of the blocks that are carried unread, which a reader keeps within
  // maxCarriedMetadataBytes.
  std::size_t carriedBytes() const {
    std::size_t total = xmp.size() + iptc.size();
    for (const auto& blocks : {&extendedXmp, &comments}) {
      for (const auto& block : *blocks) {
        total += block.size();
      }
    }
    for (const auto& [tag, value] : tiffText) {
      total += value.size();
    }
    return total;
  }
};

// Together, the blocks carried unread may take this much: a hostile file cannot make a converter
// hold more, and a picture's real metadata never comes near it.
inline constexpr std::size_t maxCarriedMetadataBytes = 4 << 20;

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
  bool lossless = false;  // WebP: written losslessly, so the result is too
  ChromaSampling chroma;  // JPEG: how colour was subsampled
  int compression = 0;    // TIFF: the compression scheme of the source (tag 259)
  int codedBits = 8;      // HEIF, AVIF: the bits a sample is coded with (8, 10 or 12)
  // PNG, BMP, GIF: the bits of a palette index (1, 2, 4 or 8) where the source's pixels were
  // indexes into a palette, 0 where they were colours. The decoder still delivers colours; the
  // result is quantised to a palette of at most 2^bits colours.
  int paletteBits = 0;
};

// A whole picture in memory: what tests, benchmarks and fuzzing read and write.
struct Picture {
  Image image;
  Metadata metadata;
  EncodingHints hints;
};

}  // namespace karvelo::converter
