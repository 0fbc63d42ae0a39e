#include "TestPictures.h"

#include "ConverterProcess.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/Resampler.h"
#include "converter/engine/SourceFile.h"
#include "converter/engine/WholePicture.h"

#include <algorithm>
#include <cmath>
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

Image photoLike(PixelSize size) {
  Image image = Image::blank(size, ColorModel::Rgb);
  for (std::uint32_t y = 0; y < size.height; ++y) {
    for (std::uint32_t x = 0; x < size.width; ++x) {
      const double u = static_cast<double>(x) / size.width;
      const double v = static_cast<double>(y) / size.height;
      const double texture = 18 * std::sin(x * 0.21) * std::sin(y * 0.17) +
                             10 * std::sin((x + 2 * y) * 0.9) + 25 * std::sin(u * 9 + v * 5);
      const std::uint32_t grain = (x * 2654435761U ^ y * 2246822519U) >> 28;  // 0 to 15
      const double edge = (x / 97 + y / 61) % 3 == 0 ? 40 : 0;
      const double light = 60 + 120 * v + texture + edge + grain - 8;
      std::uint8_t* pixel = image.pixels.data() + (std::size_t{y} * size.width + x) * 3;
      pixel[0] = static_cast<std::uint8_t>(std::clamp(light + 40 * u, 0.0, 255.0));
      pixel[1] = static_cast<std::uint8_t>(std::clamp(light, 0.0, 255.0));
      pixel[2] = static_cast<std::uint8_t>(std::clamp(light - 40 * u + edge, 0.0, 255.0));
    }
  }
  return image;
}

double psnr(const Image& a, const Image& b) {
  double squares = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const double difference = static_cast<double>(a.pixels[i]) - b.pixels[i];
    squares += difference * difference;
  }
  const double mean = squares / static_cast<double>(a.pixels.size());
  return mean == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mean);
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
