// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPictures.h"

#include "converter/engine/Resampler.h"
#include "converter/metadata/TiffDirectory.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
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

Image texture(PixelSize size, ColorModel model) {
  Image image = Image::blank(size, model);
  const int channels = image.channels();
  for (std::uint32_t y = 0; y < size.height; ++y) {
    for (std::uint32_t x = 0; x < size.width; ++x) {
      std::uint8_t* pixel = image.pixels.data() + (std::size_t{y} * size.width + x) * channels;
      for (int c = 0; c < channels; ++c) {
        const double wave = std::sin(2 * std::numbers::pi * (x + 0.6 * y) / (16.0 + 8 * c)) +
                            std::sin(2 * std::numbers::pi * (0.3 * x - y) / (41.0 - 7 * c));
        const double edge = x * size.height > y * size.width ? 40 : -40;
        pixel[c] = static_cast<std::uint8_t>(std::lround(128 + 40 * wave + edge));
      }
      if (hasAlpha(model)) {
        pixel[channels - 1] = 255;
      }
    }
  }
  return image;
}

Image textLike(PixelSize size) {
  Image image = Image::blank(size, ColorModel::Rgb);
  for (std::uint32_t y = 0; y < size.height; ++y) {
    for (std::uint32_t x = 0; x < size.width; ++x) {
      // Cells of 7 x 12 pixels, each a letter of one-pixel strokes chosen by its place: a stem,
      // a bar at the top, middle or foot, a second stem, with blank lines between lines of text.
      const std::uint32_t letter = (x / 7 * 2654435761U) ^ (y / 12 * 40503U);
      const std::uint32_t cx = x % 7;
      const std::uint32_t cy = y % 12;
      const bool ink = cy < 9 && cx < 5 &&
                       ((cx == 0 && (letter & 1)) || (cx == 4 && (letter & 2)) ||
                        (cy == 0 && (letter & 4)) || (cy == 4 && (letter & 8)) ||
                        (cy == 8 && (letter & 16)));
      std::uint8_t* pixel = image.pixels.data() + (std::size_t{y} * size.width + x) * 3;
      pixel[0] = pixel[1] = pixel[2] = ink ? 20 : 245;
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

std::vector<std::uint8_t> exifBlock(std::uint16_t orientation, bool thumbnail) {
  std::vector<std::uint8_t> block;
  auto put16 = [&](unsigned value) {
    block.push_back(static_cast<std::uint8_t>(value));
    block.push_back(static_cast<std::uint8_t>(value >> 8));
  };
  auto put32 = [&](std::uint32_t value) {
    put16(value & 0xFFFF);
    put16(value >> 16);
  };
  auto entry = [&](unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
    put16(tag), put16(type), put32(count), put32(value);
  };
  block = {'I', 'I', 42, 0};
  put32(8);
  put16(2);  // the first directory, at 8
  entry(0x0112, 3, 1, orientation);
  entry(0x8769, 4, 1, 38);
  put32(thumbnail ? 76 : 0);
  put16(1);  // the EXIF directory, at 38
  entry(0x9003, 2, 20, 56);
  put32(0);
  const std::string date = "2024:01:02 03:04:05";
  block.insert(block.end(), date.begin(), date.end() + 1);  // at 56
  put16(2);                                                 // the thumbnail's, at 76
  entry(0x0201, 4, 1, 106);
  entry(0x0202, 4, 1, 4);
  put32(0);
  block.insert(block.end(), {0xFF, 0xD8, 0xFF, 0xD9});  // at 106
  return block;
}

std::string exifDate(const std::vector<std::uint8_t>& exif) {
  const MemorySource source(exif);
  const auto header = readTiffHeader(source);
  const auto first =
      header ? readTiffIfd(source, header->bigEndian, header->firstIfd) : std::nullopt;
  if (!first) {
    return {};
  }
  for (const auto& [tag, child] : first->children) {
    if (const TiffEntry* date = tag == tiffTagExifIfd ? child.find(0x9003) : nullptr) {
      return std::string(date->value.begin(), std::find(date->value.begin(), date->value.end(), 0));
    }
  }
  return {};
}

bool linksThumbnail(const std::vector<std::uint8_t>& exif) {
  const MemorySource source(exif);
  const auto header = readTiffHeader(source);
  const auto first =
      header ? readTiffIfd(source, header->bigEndian, header->firstIfd) : std::nullopt;
  return first && first->next != 0;
}

double psnr(const Image& a, const Image& b) {
  if (a.size != b.size || a.model != b.model) {
    return 0;
  }
  double squared = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const double d = static_cast<double>(a.pixels[i]) - b.pixels[i];
    squared += d * d;
  }
  const double mse = squared / static_cast<double>(a.pixels.size());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

Image resized(const Image& image, PixelSize target) {
  Image out{target, image.model, {}, image.bitsPerSample};
  Resampler resampler(
      image.size, {double(image.size.width), double(image.size.height)}, target, image.model,
      [&](std::span<const std::uint8_t> row) {
        out.pixels.insert(out.pixels.end(), row.begin(), row.end());
      },
      image.bitsPerSample);
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
