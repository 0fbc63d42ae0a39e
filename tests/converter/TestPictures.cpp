#include "TestPictures.h"

#include "ConverterProcess.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/Resampler.h"
#include "converter/engine/SourceFile.h"
#include "converter/engine/WholePicture.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace karvelo::converter::testing {

Image quadrants(PixelSize size, const std::array<Rgb, 4>& colors, ColorModel model) {
  Image image = Image::blank(size, model);
  const int channels = image.channels();
  for (std::uint32_t y = 0; y < size.height; ++y) {
    for (std::uint32_t x = 0; x < size.width; ++x) {
      const int quadrant = (y >= size.height / 2 ? 2 : 0) + (x >= size.width / 2 ? 1 : 0);
      std::uint8_t* pixel = image.pixels.data() + (std::size_t{y} * size.width + x) * channels;
      for (int c = 0; c < std::min(channels, 3); ++c) {
        pixel[c] = colors[static_cast<std::size_t>(quadrant)][static_cast<std::size_t>(c)];
      }
      if (channels == 4) {
        pixel[3] = 255;
      }
    }
  }
  return image;
}

Image ramp(PixelSize size, ColorModel model) {
  Image image = Image::blank(size, model);
  const int channels = image.channels();
  for (std::uint32_t y = 0; y < size.height; ++y) {
    for (std::uint32_t x = 0; x < size.width; ++x) {
      std::uint8_t* pixel = image.pixels.data() + (std::size_t{y} * size.width + x) * channels;
      const bool above = x * size.height < y * size.width;
      for (int c = 0; c < channels; ++c) {
        pixel[c] = static_cast<std::uint8_t>(c == 0   ? 255 * x / size.width
                                             : c == 1 ? 255 * y / size.height
                                             : above  ? 200
                                                      : 40);
      }
      if (hasAlpha(model)) {
        pixel[channels - 1] = static_cast<std::uint8_t>(above ? 255 : 255 * x / size.width);
      }
    }
  }
  return image;
}

bool platformWrites(PictureFormat format) {
  try {
    platformCodecs().encoder(format);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

void writePicture(const std::filesystem::path& path, const Picture& picture, PictureFormat format) {
  const std::vector<std::uint8_t> bytes = encodePicture(platformCodecs(), format, picture);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + utf8(path));
  }
}

Picture readPicture(const std::filesystem::path& path) {
  return decodePicture(platformCodecs(), SourceFile(utf8(path)));
}

Image resized(const Image& image, PixelSize target) {
  Image out{target, image.model, {}};
  Resampler resampler(image.size, {double(image.size.width), double(image.size.height)}, target,
                      image.model, [&](std::span<const std::uint8_t> row) {
                        out.pixels.insert(out.pixels.end(), row.begin(), row.end());
                      });
  for (std::uint32_t y = 0; y < image.size.height; ++y) {
    resampler.push(std::span(image.pixels).subspan(y * image.rowBytes(), image.rowBytes()));
  }
  return out;
}

Rgb quadrantColor(const Image& image, int quadrant) {
  const std::uint32_t x = image.size.width / 4 + (quadrant % 2 ? image.size.width / 2 : 0);
  const std::uint32_t y = image.size.height / 4 + (quadrant / 2 ? image.size.height / 2 : 0);
  const std::uint8_t* pixel =
      image.pixels.data() + (std::size_t{y} * image.size.width + x) * image.channels();
  if (image.channels() < 3) {
    return {pixel[0], pixel[0], pixel[0]};
  }
  return {pixel[0], pixel[1], pixel[2]};
}

bool near(const Rgb& a, const Rgb& b, int tolerance) {
  for (std::size_t c = 0; c < 3; ++c) {
    if (std::abs(int{a[c]} - int{b[c]}) > tolerance) {
      return false;
    }
  }
  return true;
}

}  // namespace karvelo::converter::testing
