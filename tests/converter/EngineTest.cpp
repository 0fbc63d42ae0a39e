#include "TestPictures.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/WholePicture.h"

#include <gtest/gtest.h>

using namespace karvelo::converter;
using namespace karvelo::converter::testing;

TEST(Resampler, KeepsFlatColoursAndDoesNotBleedHiddenColour) {
  for (ColorModel model : {ColorModel::Gray, ColorModel::Rgb, ColorModel::Rgba, ColorModel::Cmyk}) {
    Image flat = Image::blank({37, 23}, model);
    const auto channels = static_cast<std::size_t>(flat.channels());
    for (std::size_t i = 0; i < flat.pixels.size(); ++i) {
      const std::size_t channel = i % channels;
      flat.pixels[i] = static_cast<std::uint8_t>(
          hasAlpha(model) && channel == channels - 1 ? 255 : 90 + channel * 40);
    }
    for (PixelSize target :
         {PixelSize{1, 1}, PixelSize{9, 5}, PixelSize{37, 1}, PixelSize{100, 61}}) {
      const Image out = resized(flat, target);
      ASSERT_EQ(out.size, target);
      ASSERT_EQ(out.pixels.size(), out.rowBytes() * target.height);
      for (std::size_t i = 0; i < out.pixels.size(); ++i) {
        ASSERT_NEAR(out.pixels[i], flat.pixels[i % static_cast<std::size_t>(flat.channels())], 1)
            << static_cast<int>(model) << " " << target.width << "x" << target.height;
      }
    }
  }
  // Left half opaque blue, right half fully transparent but holding red: no red may appear.
  Image edge = Image::blank({40, 10}, ColorModel::Rgba);
  for (std::size_t p = 0; p < 400; ++p) {
    const bool left = p % 40 < 20;
    edge.pixels[p * 4 + 0] = left ? 0 : 255;
    edge.pixels[p * 4 + 2] = left ? 255 : 0;
    edge.pixels[p * 4 + 3] = left ? 255 : 0;
  }
  const Image out = resized(edge, {13, 4});
  for (std::size_t p = 0; p < 13 * 4; ++p) {
    if (out.pixels[p * 4 + 3] > 8) {
      EXPECT_LT(out.pixels[p * 4 + 0], 16) << p;
    }
  }
}

TEST(Codecs, DamagedFilesAreRefusedWithoutCrashing) {
  for (PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Png, PictureFormat::Webp,
                               PictureFormat::Bmp, PictureFormat::Gif, PictureFormat::Tiff}) {
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
}
