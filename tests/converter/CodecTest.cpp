// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPictures.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/WholePicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#ifndef _WIN32
#include <zlib.h>
#endif

using namespace karvelo::converter;
using namespace karvelo::converter::testing;

TEST(Codecs, DamagedFilesAreRefusedWithoutCrashing) {
  for (PictureFormat format :
       {PictureFormat::Jpeg, PictureFormat::Png, PictureFormat::Webp, PictureFormat::Bmp,
        PictureFormat::Gif, PictureFormat::Tiff, PictureFormat::Heif, PictureFormat::Avif}) {
    if (!platformWrites(format)) {
      continue;
    }
    Picture picture;
    picture.image =
        ramp({48, 40}, format == PictureFormat::Jpeg ? ColorModel::Rgb : ColorModel::Rgba);
    picture.hints.compression = 5;
    const std::vector<std::uint8_t> whole = encodePicture(platformCodecs(), format, picture);
    int refused = 0;
    int cuts = 0;
    for (std::size_t length = 1; length < whole.size(); length += 1 + whole.size() / 40, ++cuts) {
      try {
        decodePicture(platformCodecs(), MemorySource(std::span(whole).first(length)));
      } catch (const ConversionError& error) {
        EXPECT_TRUE(error.code() == ExitCode::DamagedPicture ||
                    error.code() == ExitCode::UnsupportedFormat)
            << static_cast<int>(format) << " at " << length << ": " << error.what();
        ++refused;
      }
    }
    // Every cut that loses pixel data is refused; GIF and TIFF may lose only trailing bytes
    // that hold no pixels in the last cut or two.
    EXPECT_GE(refused, cuts - 2) << static_cast<int>(format);
  }
  // A 24-bit bitmap that declares a palette of sixteen million colours, which it does not use.
  Picture picture;
  picture.image = ramp({64, 64}, ColorModel::Rgb);
  std::vector<std::uint8_t> bitmap = encodePicture(platformCodecs(), PictureFormat::Bmp, picture);
  bitmap[46] = bitmap[47] = bitmap[48] = 0xFF;
  EXPECT_EQ(decodePicture(platformCodecs(), MemorySource(bitmap)).image.pixels,
            picture.image.pixels);
}

TEST(Metadata, ProfileAndExifSurviveEveryFormatThatHoldsThem) {
  std::vector<std::uint8_t> icc(3000);
  for (std::size_t i = 0; i < icc.size(); ++i) {
    icc[i] = static_cast<std::uint8_t>(i * 13 + i / 7);
  }
  std::copy_n("RGB ", 4, icc.begin() + 16);
  struct Case {
    PictureFormat format;
    ColorModel model;
    bool lossless;
  };
  for (const Case& c : {Case{PictureFormat::Jpeg, ColorModel::Rgb, false},
                        Case{PictureFormat::Png, ColorModel::Rgba, true},
                        Case{PictureFormat::Webp, ColorModel::Rgb, false},
                        Case{PictureFormat::Webp, ColorModel::Rgba, false},
                        Case{PictureFormat::Webp, ColorModel::Rgba, true},
                        Case{PictureFormat::Tiff, ColorModel::Rgb, true}}) {
    if (!platformWrites(c.format)) {
      continue;
    }
    Picture picture;
    picture.image = ramp({40, 30}, c.model);
    picture.hints.lossless = c.lossless;
    picture.metadata.icc = icc;
    picture.metadata.exif = exifBlock(3);
    const std::vector<std::uint8_t> bytes = encodePicture(platformCodecs(), c.format, picture);
    const Picture back = decodePicture(platformCodecs(), MemorySource(bytes));
    const std::string name = std::to_string(static_cast<int>(c.format)) + "/" +
                             std::to_string(static_cast<int>(c.model));
    EXPECT_EQ(back.image.size, picture.image.size) << name;
    EXPECT_EQ(back.image.model, c.model) << name;
    EXPECT_EQ(back.metadata.icc, icc) << name;
    EXPECT_EQ(exifDate(back.metadata.exif), "2024:01:02 03:04:05") << name;
    if (c.format != PictureFormat::Tiff) {  // a TIFF's own tag holds its orientation
      EXPECT_EQ(back.metadata.exif, picture.metadata.exif) << name;
      EXPECT_EQ(back.metadata.orientation, 3) << name;
    }
  }
}

#ifndef _WIN32
// The filter byte of each row of a PNG written by the converter.
std::vector<int> pngRowFilters(const std::vector<std::uint8_t>& png, std::size_t rowBytes) {
  std::vector<std::uint8_t> data;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::size_t length =
        (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    if (std::equal(png.begin() + at + 4, png.begin() + at + 8, "IDAT")) {
      data.insert(data.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
    }
    at += 12 + length;
  }
  std::vector<std::uint8_t> rows(64 << 20);
  uLongf size = rows.size();
  EXPECT_EQ(uncompress(rows.data(), &size, data.data(), data.size()), Z_OK);
  std::vector<int> filters;
  for (std::size_t at = 0; at < size; at += rowBytes + 1) {
    filters.push_back(rows[at]);
  }
  return filters;
}
#endif

// Four colours in cells of 3 x 3 pixels, as in pixel art or a dithered drawing.
Image fourColourCells(PixelSize size) {
  constexpr std::array<Rgb, 4> colours{red, green, blue, white};
  Image image = Image::blank(size, ColorModel::Rgb);
  for (std::uint32_t y = 0; y < size.height; ++y) {
    for (std::uint32_t x = 0; x < size.width; ++x) {
      const Rgb& colour = colours[((x / 3 * 2654435761U) ^ (y / 3 * 40503U)) >> 7 & 3];
      std::copy(colour.begin(), colour.end(),
                image.pixels.begin() + (std::size_t{y} * size.width + x) * 3);
    }
  }
  return image;
}

TEST(PngRows, EachPictureReadsBackExactlyAndDrawingsAreLeftUnfiltered) {
  // Heights below, at and above the first rows that are held back while the filter is chosen,
  // and rows wider than the sample.
  for (const PixelSize size : {PixelSize{200, 1}, PixelSize{200, 3}, PixelSize{200, 4},
                               PixelSize{200, 5}, PixelSize{200, 300}, PixelSize{100000, 3}}) {
    const std::uint32_t height = size.height;
    for (const bool drawing : {true, false}) {
      Picture picture;
      picture.image = drawing ? fourColourCells(size) : photoLike(size);
      const std::vector<std::uint8_t> png =
          encodePicture(platformCodecs(), PictureFormat::Png, picture);
      EXPECT_EQ(decodePicture(platformCodecs(), MemorySource(png)).image.pixels,
                picture.image.pixels)
          << size.width << "x" << height << (drawing ? " drawing" : " photo");
#ifndef _WIN32
      if (height == 300) {
        // Rows filtered by their left neighbour (1) compress photographs best, unfiltered rows
        // (0) drawings of a few colours.
        const std::vector<int> filters = pngRowFilters(png, 200 * 3);
        EXPECT_EQ(filters, std::vector<int>(300, drawing ? 0 : 1));
      }
#endif
    }
  }
}
