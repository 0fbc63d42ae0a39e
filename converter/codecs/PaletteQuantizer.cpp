// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/PaletteQuantizer.h"

#include <libimagequant.h>

#include <algorithm>
#include <new>
#include <numeric>
#include <stdexcept>

namespace karvelo::converter {

namespace {

constexpr int quantizeSpeed = 6;
// Pixels counted and remapped to the palette at a time: libimagequant holds 16 bytes for each
// pixel of a band while it dithers. Dithering starts afresh in each band, which cannot be seen at
// a band's height (over 200 rows up to a width of 20000 pixels).
constexpr std::uint64_t bandPixels = 4 << 20;

struct ImageFree {
  void operator()(liq_image* image) const { liq_image_destroy(image); }
};
struct HistogramFree {
  void operator()(liq_histogram* histogram) const { liq_histogram_destroy(histogram); }
};

[[noreturn]] void quantizeFailure() { throw std::runtime_error("colour reduction failed"); }

}  // namespace

void PaletteQuantizer::AttrFree::operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
void PaletteQuantizer::ResultFree::operator()(liq_result* result) const {
  liq_result_destroy(result);
}

PaletteQuantizer::PaletteQuantizer(PixelSize size, unsigned maxColors)
    : size_(size),
      bandRows_(static_cast<std::uint32_t>(
          std::clamp<std::uint64_t>(bandPixels / std::max(size.width, 1U), 1,
                                    std::max(size.height, 1U)))),
      store_(std::size_t{size.width} * 4, size.height),
      attr_(liq_attr_create()) {
  if (!attr_) {
    throw std::bad_alloc();
  }
  liq_set_speed(attr_.get(), quantizeSpeed);
  liq_set_max_colors(attr_.get(), static_cast<int>(std::clamp(maxColors, 2U, 256U)));
}

PaletteQuantizer::~PaletteQuantizer() = default;

void PaletteQuantizer::addRow(std::span<const std::uint8_t> row, int channels) {
  if (channels == 4) {
    store_.write(rows_++, row);
    return;
  }
  band_.resize(std::size_t{size_.width} * 4);
  for (std::size_t x = 0; x < size_.width; ++x) {
    std::copy_n(row.begin() + static_cast<std::ptrdiff_t>(x * 3), 3, band_.begin() + x * 4);
    band_[x * 4 + 3] = 255;
  }
  store_.write(rows_++, band_);
}

void PaletteQuantizer::readBand(std::uint32_t y, std::uint32_t count) {
  const std::size_t rowBytes = std::size_t{size_.width} * 4;
  band_.resize(rowBytes * count);
  for (std::uint32_t i = 0; i < count; ++i) {
    store_.read(y + i, 0, std::span(band_).subspan(rowBytes * i, rowBytes));
  }
}

std::vector<PaletteColor> PaletteQuantizer::quantize() {
  const std::unique_ptr<liq_histogram, HistogramFree> histogram(
      liq_histogram_create(attr_.get()));
  if (!histogram) {
    throw std::bad_alloc();
  }
  for (std::uint32_t y = 0; y < size_.height; y += bandRows_) {
    const std::uint32_t count = std::min(bandRows_, size_.height - y);
    readBand(y, count);
    const std::unique_ptr<liq_image, ImageFree> image(liq_image_create_rgba(
        attr_.get(), band_.data(), static_cast<int>(size_.width), static_cast<int>(count), 0));
    if (!image || liq_histogram_add_image(histogram.get(), attr_.get(), image.get()) != LIQ_OK) {
      quantizeFailure();
    }
  }
  liq_result* made = nullptr;
  if (liq_histogram_quantize(histogram.get(), attr_.get(), &made) != LIQ_OK) {
    quantizeFailure();
  }
  result_.reset(made);
  liq_set_dithering_level(result_.get(), 1.0F);
  const liq_palette* palette = liq_get_palette(result_.get());
  std::vector<PaletteColor> colors;
  for (unsigned i = 0; i < palette->count; ++i) {
    const liq_color& color = palette->entries[i];
    colors.push_back({color.r, color.g, color.b, color.a});
  }
  // Colours with some transparency first, so that a PNG's transparency table stays short.
  std::vector<std::uint8_t> order(colors.size());
  std::iota(order.begin(), order.end(), std::uint8_t{0});
  std::stable_partition(order.begin(), order.end(),
                        [&](std::uint8_t index) { return colors[index][3] < 255; });
  std::vector<PaletteColor> ordered;
  for (std::size_t i = 0; i < order.size(); ++i) {
    ordered.push_back(colors[order[i]]);
    indexOf_[order[i]] = static_cast<std::uint8_t>(i);
  }
  return ordered;
}

void PaletteQuantizer::remap(
    const std::function<void(std::uint32_t, std::span<const std::uint8_t>)>& row) {
  if (!result_) {
    throw std::logic_error("rows are remapped after the palette is made");
  }
  std::vector<std::uint8_t> indexes;
  std::vector<unsigned char*> rows;
  for (std::uint32_t y = 0; y < size_.height; y += bandRows_) {
    const std::uint32_t count = std::min(bandRows_, size_.height - y);
    readBand(y, count);
    const std::unique_ptr<liq_image, ImageFree> image(liq_image_create_rgba(
        attr_.get(), band_.data(), static_cast<int>(size_.width), static_cast<int>(count), 0));
    indexes.resize(std::size_t{size_.width} * count);
    rows.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      rows[i] = indexes.data() + std::size_t{size_.width} * i;
    }
    if (!image || liq_write_remapped_image_rows(result_.get(), image.get(), rows.data()) != LIQ_OK) {
      quantizeFailure();
    }
    for (std::uint8_t& index : indexes) {
      index = indexOf_[index];
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      row(y + i, std::span<const std::uint8_t>(rows[i], size_.width));
    }
  }
}

}  // namespace karvelo::converter
