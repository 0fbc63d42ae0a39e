// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPictures.h"

#include "converter/engine/Orientation.h"
#include "converter/engine/RowStore.h"
#include "converter/core/ConversionError.h"
#include "converter/metadata/FormatMetadata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>

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

TEST(Resampler, MatchesALanczosFilterComputedPixelByPixel) {
  // Halving and quartering take the path for whole factors, the others the general one.
  const auto lanczos = [](double x) {
    x = std::abs(x);
    if (x < 1e-9) {
      return 1.0;
    }
    return x >= 3 ? 0.0
                  : 3 * std::sin(std::numbers::pi * x) * std::sin(std::numbers::pi * x / 3) /
                        (std::numbers::pi * std::numbers::pi * x * x);
  };
  // The weights of each source pixel for result pixel i, taps past the edges on the edge pixel.
  const auto weights = [&](std::uint32_t source, std::uint32_t target, std::uint32_t i) {
    const double scale = static_cast<double>(source) / target;
    const double stretch = std::max(1.0, scale);
    const double centre = (i + 0.5) * scale - 0.5;
    std::vector<double> w(source, 0.0);
    double sum = 0;
    for (auto j = static_cast<long>(std::floor(centre - 3 * stretch)) + 1;
         j <= static_cast<long>(std::ceil(centre + 3 * stretch)) - 1; ++j) {
      const double weight = lanczos((j - centre) / stretch);
      w[static_cast<std::size_t>(std::clamp<long>(j, 0, source - 1))] += weight;
      sum += weight;
    }
    for (double& weight : w) {
      weight /= sum;
    }
    return w;
  };
  const Image source = texture({240, 60}, ColorModel::Rgb);
  for (PixelSize target : {PixelSize{120, 30}, PixelSize{60, 15}, PixelSize{77, 41}}) {
    const Image out = resized(source, target);
    for (std::uint32_t y = 0; y < target.height; ++y) {
      const std::vector<double> down = weights(source.size.height, target.height, y);
      for (std::uint32_t x = 0; x < target.width; ++x) {
        const std::vector<double> across = weights(source.size.width, target.width, x);
        for (std::size_t c = 0; c < 3; ++c) {
          double value = 0;
          for (std::uint32_t j = 0; j < source.size.height; ++j) {
            for (std::uint32_t i = 0; i < source.size.width; ++i) {
              value += down[j] * across[i] *
                       source.pixels[(std::size_t{j} * source.size.width + i) * 3 + c];
            }
          }
          ASSERT_NEAR(out.pixels[(std::size_t{y} * target.width + x) * 3 + c],
                      std::clamp(value, 0.0, 255.0), 1.0)
              << target.width << "x" << target.height << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(RowStore, GivesBackRowsFromMemoryOrDiskAndZerosForRowsNeverWritten) {
  for (std::size_t memoryLimit : {RowStore::defaultMemoryLimit, std::size_t{0}}) {
    RowStore store(10, 6, memoryLimit);
    for (std::uint32_t row : {4u, 0u, 2u}) {
      std::vector<std::uint8_t> bytes(10);
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(row * 10 + i + 1);
      }
      store.write(row, bytes);
    }
    std::vector<std::uint8_t> part(4);
    store.read(2, 3, part);
    EXPECT_EQ(part, (std::vector<std::uint8_t>{24, 25, 26, 27})) << memoryLimit;
    store.read(5, 6, part);  // past everything written
    EXPECT_EQ(part, std::vector<std::uint8_t>(4, 0)) << memoryLimit;
    store.read(3, 0, part);
    EXPECT_EQ(part, std::vector<std::uint8_t>(4, 0)) << memoryLimit;
  }
}

TEST(UprightRows, TurnsEveryOrientationTheSameInMemoryAndOnDiskInBands) {
  constexpr std::uint32_t width = 7;
  constexpr std::uint32_t height = 5;
  Image stored = Image::blank({width, height}, ColorModel::GrayAlpha);
  for (std::size_t p = 0; p < std::size_t{width} * height; ++p) {
    stored.pixels[2 * p] = static_cast<std::uint8_t>(p % width);      // the stored column
    stored.pixels[2 * p + 1] = static_cast<std::uint8_t>(p / width);  // and row
  }
  // Where the pixel at upright (x, y) is stored, per orientation, following the EXIF
  // descriptions of row 0 and column 0.
  using Place = std::pair<std::uint32_t, std::uint32_t>;
  const std::function<Place(std::uint32_t, std::uint32_t)> stores[9] = {
      nullptr,
      [](std::uint32_t x, std::uint32_t y) {
        return Place{x, y};
      },
      [](std::uint32_t x, std::uint32_t y) {
        return Place{width - 1 - x, y};
      },
      [](std::uint32_t x, std::uint32_t y) {
        return Place{width - 1 - x, height - 1 - y};
      },
      [](std::uint32_t x, std::uint32_t y) {
        return Place{x, height - 1 - y};
      },
      [](std::uint32_t x, std::uint32_t y) {
        return Place{y, x};
      },
      [](std::uint32_t x, std::uint32_t y) {
        return Place{y, height - 1 - x};
      },
      [](std::uint32_t x, std::uint32_t y) {
        return Place{width - 1 - y, height - 1 - x};
      },
      [](std::uint32_t x, std::uint32_t y) {
        return Place{width - 1 - y, x};
      },
  };
  for (int orientation = 1; orientation <= 8; ++orientation) {
    // In memory; on disk three upright rows at a time; on disk one row at a time.
    for (std::size_t memoryLimit :
         {RowStore::defaultMemoryLimit, std::size_t{60}, std::size_t{0}}) {
      std::vector<std::vector<std::uint8_t>> rows;
      UprightRows upright(
          stored.size, stored.model, orientation,
          [&](std::span<const std::uint8_t> row) { rows.emplace_back(row.begin(), row.end()); },
          memoryLimit);
      for (std::uint32_t y = 0; y < height; ++y) {
        upright.push(std::span(stored.pixels).subspan(y * stored.rowBytes(), stored.rowBytes()));
      }
      upright.finish();
      const PixelSize size = uprightSize(stored.size, orientation);
      ASSERT_EQ(rows.size(), size.height) << orientation;
      for (std::uint32_t y = 0; y < size.height; ++y) {
        ASSERT_EQ(rows[y].size(), std::size_t{size.width} * 2);
        for (std::uint32_t x = 0; x < size.width; ++x) {
          const Place place = stores[orientation](x, y);
          EXPECT_EQ(rows[y][2 * x], place.first) << orientation << " " << memoryLimit;
          EXPECT_EQ(rows[y][2 * x + 1], place.second) << orientation << " " << memoryLimit;
        }
      }
    }
  }
}

namespace {

std::string be32(std::uint32_t n) {
  return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
          static_cast<char>(n)};
}
std::string box(const std::string& type, const std::string& body) {
  return be32(static_cast<std::uint32_t>(8 + body.size())) + type + body;
}

// A HEIF file of one coded item whose properties are associated in the given order, described by
// an EXIF item (orientation 6, with a thumbnail) kept in the meta box's own data.
std::string heifFile(const std::string& brands, const std::vector<std::string>& properties) {
  const std::string zero(4, '\0');
  const std::vector<std::uint8_t> tiff = exifBlock(6, true);
  const std::string exif = zero + std::string(tiff.begin(), tiff.end());
  const std::string infe = box("infe", std::string("\2\0\0\0\0\1\0\0hvc1\0", 13)) +
                           box("infe", std::string("\2\0\0\0\0\2\0\0Exif\0", 13));
  const std::string iloc = std::string("\1\0\0\0\x44\0\0\1\0\2\0\1\0\0\0\1", 16) + zero +
                           be32(static_cast<std::uint32_t>(exif.size()));
  std::string ipco;
  std::string associations;
  for (std::size_t i = 0; i < properties.size(); ++i) {
    ipco += properties[i];
    associations += static_cast<char>(i + 1);
  }
  const std::string ipma = zero + be32(1) + std::string("\0\1", 2) +
                           static_cast<char>(properties.size()) + associations;
  return box("ftyp", brands) +
         box("meta", zero + box("pitm", zero + std::string("\0\1", 2)) +
                         box("iinf", zero + std::string("\0\2", 2) + infe) +
                         box("iloc", iloc) +
                         box("iref", zero + box("cdsc", std::string("\0\2\0\1\0\1", 6))) +
                         box("iprp", box("ipco", ipco) + box("ipma", ipma)) +
                         box("idat", exif));
}

}  // namespace

TEST(HeifHeaders, GiveTheFormatByBrandAndTheSizeTheDecoderShows) {
  const std::string zero(4, '\0');
  const std::string ispe = box("ispe", zero + be32(400) + be32(300));
  const std::string quarter = box("irot", "\1");
  const std::string half = box("irot", "\2");
  const std::string mirror = box("imir", "\1");
  const std::string crop = box("clap", be32(201) + be32(1) + be32(101) + be32(1) + zero + be32(1) +
                                           zero + be32(1));
  const std::string icc = "....acspRGB colour profile";
  const std::string colr = box("colr", "prof" + icc);
  struct Case {
    std::string brands;  // major, minor version, compatible
    std::vector<std::string> properties;
    std::optional<PictureFormat> format;
    PixelSize size;
    bool turned;  // the EXIF thumbnail is dropped
  };
  const std::vector<Case> cases = {
      {"heic" + zero + "mif1heic", {ispe, quarter}, PictureFormat::Heif, {300, 400}, true},
      // libheif 1.15 writes the turn first, with the size as turned: the turn then changes nothing.
      {"mif1" + zero + "mif1avif", {quarter, ispe}, PictureFormat::Avif, {400, 300}, true},
      {"msf1" + zero, {ispe, crop, half, colr}, PictureFormat::Heif, {201, 101}, true},
      {"avis" + zero, {ispe, mirror}, PictureFormat::Avif, {400, 300}, true},
      {"heix" + zero, {ispe, colr}, PictureFormat::Heif, {400, 300}, false},
      {"isom" + zero + "mp41", {ispe}, std::nullopt, {}, false},
  };
  for (const Case& c : cases) {
    const std::string file = heifFile(c.brands, c.properties);
    const std::vector<std::uint8_t> bytes(file.begin(), file.end());
    const MemorySource source(bytes);
    ASSERT_EQ(detectFormat(source.read(0, formatHeadBytes)), c.format) << c.brands;
    if (!c.format) {
      continue;
    }
    const PictureHeaders headers = readHeaders(*c.format, source);
    EXPECT_EQ(headers.size, c.size) << c.brands;
    // The file's transformations turn it; the EXIF orientation is not applied again.
    EXPECT_EQ(headers.metadata.orientation, 1) << c.brands;
    EXPECT_EQ(orientationOf(headers.metadata.exif), 6) << c.brands;
    EXPECT_EQ(linksThumbnail(headers.metadata.exif), !c.turned) << c.brands;
    const bool profiled = std::find(c.properties.begin(), c.properties.end(), colr) !=
                          c.properties.end();
    EXPECT_EQ(std::string(headers.metadata.icc.begin(), headers.metadata.icc.end()),
              profiled ? icc : "")
        << c.brands;
  }
  // Cut inside its item list: damaged, not read past its end.
  const std::string whole = heifFile("heic" + zero, {ispe});
  const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + 120);
  EXPECT_THROW(readHeaders(PictureFormat::Heif, MemorySource(cut)), ConversionError);
}
