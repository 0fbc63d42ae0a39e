// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPictures.h"

#include "converter/engine/Orientation.h"
#include "converter/engine/RowStore.h"

#include <gtest/gtest.h>

#include <functional>

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
