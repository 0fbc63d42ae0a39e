// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/LibraryCodecs.h"
#include "converter/codecs/PaletteQuantizer.h"
#include "converter/core/ConversionError.h"
#include "converter/engine/RowStore.h"
#include "converter/metadata/BmpHeader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <stdexcept>

namespace karvelo::converter {

namespace {

// Where a bit field lies in a pixel, and how to widen it to 8 bits.
struct Field {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  explicit Field(std::uint32_t m = 0)
      : mask(m), shift(m ? std::countr_zero(m) : 0), bits(std::popcount(m)) {}

  std::uint8_t of(std::uint32_t pixel) const {
    if (bits == 0) {
      return 0;
    }
    const std::uint32_t value = (pixel & mask) >> shift;
    return bits >= 8 ? static_cast<std::uint8_t>(value >> (bits - 8))
                     : static_cast<std::uint8_t>(value * 255 / ((1u << bits) - 1));
  }
};

// Windows bitmaps of 1, 4, 8, 16, 24 and 32 bits, with bit fields, and RLE8 and RLE4. Stored rows
// are read from the file in the order asked, wherever they lie; run-length coded rows come bottom
// up in one stream, so they are gathered (as palette indexes) before the first is passed on.
class BmpDecoder final : public Decoder {
 public:
  explicit BmpDecoder(const ByteSource& source) : source_(source) {}

  DecodedRows start(PixelSize) override {
    header_ = readBmpHeader(source_);
    const std::uint32_t bits = header_.bitsPerPixel;
    // Only bitmaps of up to 8 bits have a palette, of at most 256 entries; deeper ones may still
    // declare one, which is not used.
    const std::size_t entries = bits <= 8 ? std::min<std::size_t>(header_.paletteCount, 256) : 0;
    const std::vector<std::uint8_t> table =
        source_.read(header_.paletteOffset, entries * header_.paletteEntrySize);
    for (std::size_t i = 0; i * header_.paletteEntrySize + 3 <= table.size(); ++i) {
      const std::uint8_t* entry = table.data() + i * header_.paletteEntrySize;
      palette_[i] = {entry[2], entry[1], entry[0]};
    }
    if (bits == 16 || bits == 32) {
      std::array<std::uint32_t, 4> masks = header_.masks;
      if (header_.compression == 0) {
        masks = bits == 16 ? std::array<std::uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0}
                           : std::array<std::uint32_t, 4>{0xFF0000, 0xFF00, 0xFF, 0xFF000000};
      }
      for (std::size_t i = 0; i < 4; ++i) {
        fields_[i] = Field(masks[i]);
      }
      // A 32-bit bitmap without bit fields may or may not use its fourth byte: it holds alpha
      // only when some pixel's is not zero.
      if (bits == 32 && header_.compression == 0 && !anyAlpha()) {
        fields_[3] = Field(0);
      }
    }
    const bool alpha = fields_[3].bits > 0;
    // A stored row as the file holds it, or a run-length coded one as one palette index a pixel,
    // which for RLE4 is twice the row's bytes in the file.
    const bool runs = header_.compression == bmpRle8 || header_.compression == bmpRle4;
    raw_.resize(runs ? std::size_t{header_.size.width}
                     : static_cast<std::size_t>(header_.rowBytes));
    if (runs) {
      decodeRuns();
    }
    DecodedRows rows;
    rows.size = header_.size;
    rows.model = alpha ? ColorModel::Rgba : ColorModel::Rgb;
    rows.hints.paletteBits = bits <= 8 ? static_cast<int>(bits) : 0;
    return rows;
  }

  void readRow(std::span<std::uint8_t> row) override {
    const std::uint32_t y = row_++;
    const std::uint32_t stored = header_.topDown ? y : header_.size.height - 1 - y;
    const std::size_t channels = fields_[3].bits > 0 ? 4 : 3;
    if (store_) {
      store_->read(stored, 0, std::span(raw_).first(header_.size.width));
      for (std::uint32_t x = 0; x < header_.size.width; ++x) {
        std::copy_n(palette_[raw_[x]].begin(), 3, row.begin() + x * channels);
      }
      return;
    }
    if (source_.readAt(header_.dataOffset + stored * header_.rowBytes, raw_.data(), raw_.size()) !=
        raw_.size()) {
      damagedPicture("the BMP file ends before its last row");
    }
    const std::uint32_t bits = header_.bitsPerPixel;
    for (std::uint32_t x = 0; x < header_.size.width; ++x) {
      std::uint8_t* out = row.data() + x * channels;
      if (bits <= 8) {
        const std::size_t bit = std::size_t{x} * bits;
        const unsigned index = (raw_[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        std::copy_n(palette_[index].begin(), 3, out);
      } else if (bits == 24) {
        out[0] = raw_[3 * x + 2];
        out[1] = raw_[3 * x + 1];
        out[2] = raw_[3 * x];
      } else {
        std::uint32_t pixel = 0;
        for (std::uint32_t b = 0; b < bits / 8; ++b) {
          pixel |= std::uint32_t{raw_[x * (bits / 8) + b]} << (8 * b);
        }
        for (std::size_t c = 0; c < channels; ++c) {
          out[c] = fields_[c].of(pixel);
        }
      }
    }
  }

 private:
  bool anyAlpha() const {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(header_.rowBytes));
    for (std::uint32_t y = 0; y < header_.size.height; ++y) {
      source_.readAt(header_.dataOffset + y * header_.rowBytes, row.data(), row.size());
      for (std::size_t i = 3; i < std::size_t{header_.size.width} * 4; i += 4) {
        if (row[i] != 0) {
          return true;
        }
      }
    }
    return false;
  }

  // Runs of one index, runs of literal indexes, and escapes that end a line, end the picture or
  // move ahead; pixels that nothing sets keep index 0.
  void decodeRuns() {
    const PixelSize size = header_.size;
    const bool four = header_.compression == bmpRle4;
    store_.emplace(size.width, size.height);
    std::vector<std::uint8_t> line(size.width, 0);
    SourceReader reader(source_, header_.dataOffset);
    std::uint8_t buffer[4096];
    std::size_t have = 0;
    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t {
      if (at == have) {
        have = reader.read(buffer, sizeof buffer);
        at = 0;
        if (have == 0) {
          damagedPicture("the BMP data ends before the end of the picture");
        }
      }
      return buffer[at++];
    };
    std::uint32_t x = 0;
    std::uint32_t y = 0;  // counted from the bottom row
    auto endLine = [&] {
      store_->write(y, line);
      std::fill(line.begin(), line.end(), 0);
      ++y;
      x = 0;
    };
    while (y < size.height) {
      const std::uint8_t count = next();
      const std::uint8_t value = next();
      if (count > 0) {
        for (unsigned i = 0; i < count && x < size.width; ++i, ++x) {
          line[x] = four ? (i % 2 == 0 ? value >> 4 : value & 15) : value;
        }
      } else if (value == 0) {
        endLine();
      } else if (value == 1) {
        break;
      } else if (value == 2) {
        const std::uint8_t dx = next();
        const std::uint8_t dy = next();
        for (unsigned i = 0; i < dy && y < size.height; ++i) {
          endLine();
        }
        x = std::min(size.width, x + dx);
      } else {
        const unsigned bytes = four ? (value + 1u) / 2 : value;
        std::uint8_t literal = 0;
        for (unsigned i = 0; i < value; ++i) {
          if (!four || i % 2 == 0) {
            literal = next();
          }
          if (x < size.width) {
            line[x++] = four ? (i % 2 == 0 ? literal >> 4 : literal & 15) : literal;
          }
        }
        if (bytes % 2 != 0) {
          next();  // literal runs end on a word boundary
        }
      }
    }
    if (y < size.height) {
      store_->write(y, line);
    }
  }

  const ByteSource& source_;
  BmpHeader header_;
  std::array<std::array<std::uint8_t, 3>, 256> palette_{};
  std::array<Field, 4> fields_;
  std::vector<std::uint8_t> raw_;
  std::optional<RowStore> store_;  // palette indexes, bottom row first
  std::uint32_t row_ = 0;
};

void putLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

// 24-bit rows, or 32-bit rows with an alpha mask (a version 4 header), bottom up as most readers
// expect: each row goes straight to its place in the file. A palette source gives rows of 1, 4 or
// 8 bits into a palette made once all rows are in (a bitmap's palette holds no alpha).
class BmpEncoder final : public Encoder {
 public:
  void start(const EncodedRows& result, ByteSink& sink) override {
    if (result.model == ColorModel::Cmyk || result.model == ColorModel::GrayAlpha) {
      throw std::logic_error("BMP takes gray, RGB or RGBA pixels");
    }
    size_ = result.size;
    sink_ = &sink;
    model_ = result.model;
    if (result.hints.paletteBits > 0 && model_ == ColorModel::Rgb) {
      bits_ = result.hints.paletteBits <= 1 ? 1 : result.hints.paletteBits <= 4 ? 4 : 8;
      quantizer_.emplace(size_, 1U << bits_);
      return;
    }
    bits_ = model_ == ColorModel::Rgba ? 32 : 24;
    writeHead({});
    row_.assign(rowBytes_, 0);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    if (quantizer_) {
      quantizer_->addRow(row, 3);
      return;
    }
    const std::size_t in = static_cast<std::size_t>(channelsOf(model_));
    const std::size_t out = model_ == ColorModel::Rgba ? 4 : 3;
    for (std::uint32_t x = 0; x < size_.width; ++x) {
      const std::uint8_t* pixel = row.data() + x * in;
      std::uint8_t* stored = row_.data() + x * out;
      const bool gray = in == 1;
      stored[0] = pixel[gray ? 0 : 2];
      stored[1] = pixel[gray ? 0 : 1];
      stored[2] = pixel[0];
      if (out == 4) {
        stored[3] = pixel[3];
      }
    }
    writeStoredRow(y_++);
  }

  void finish() override {
    if (!quantizer_) {
      return;
    }
    writeHead(quantizer_->quantize());
    row_.assign(rowBytes_, 0);
    quantizer_->remap([&](std::uint32_t y, std::span<const std::uint8_t> indexes) {
      std::fill(row_.begin(), row_.end(), 0);
      for (std::uint32_t x = 0; x < size_.width; ++x) {
        const std::size_t bit = std::size_t{x} * bits_;
        row_[bit / 8] |= static_cast<std::uint8_t>(indexes[x] << (8 - bits_ - bit % 8));
      }
      writeStoredRow(y);
    });
  }

 private:
  void writeHead(const std::vector<PaletteColor>& palette) {
    const bool alpha = bits_ == 32;
    const std::uint32_t headerBytes = alpha ? 108 : 40;
    dataOffset_ = 14 + headerBytes + 4 * static_cast<std::uint32_t>(palette.size());
    rowBytes_ = (std::size_t{size_.width} * bits_ + 31) / 32 * 4;
    const std::uint64_t total = dataOffset_ + std::uint64_t{rowBytes_} * size_.height;
    std::vector<std::uint8_t> head = {'B', 'M'};
    putLittle(head, static_cast<std::uint32_t>(total), 4);
    putLittle(head, 0, 4);
    putLittle(head, dataOffset_, 4);
    putLittle(head, headerBytes, 4);
    putLittle(head, size_.width, 4);
    putLittle(head, size_.height, 4);
    putLittle(head, 1, 2);
    putLittle(head, bits_, 2);
    putLittle(head, alpha ? 3 : 0, 4);  // bit fields, or none
    putLittle(head, static_cast<std::uint32_t>(total - dataOffset_), 4);
    putLittle(head, 2835, 4);  // 72 dots per inch
    putLittle(head, 2835, 4);
    putLittle(head, static_cast<std::uint32_t>(palette.size()), 4);
    putLittle(head, 0, 4);
    if (alpha) {
      for (std::uint32_t mask : {0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u}) {
        putLittle(head, mask, 4);
      }
      putLittle(head, 0x73524742, 4);  // "sRGB"
      head.resize(14 + headerBytes, 0);
    }
    for (const PaletteColor& color : palette) {
      head.insert(head.end(), {color[2], color[1], color[0], 0});
    }
    sink_->writeAt(0, head);
  }

  void writeStoredRow(std::uint32_t y) {
    sink_->writeAt(dataOffset_ + std::uint64_t{size_.height - 1 - y} * rowBytes_, row_);
  }

  PixelSize size_;
  ByteSink* sink_ = nullptr;
  ColorModel model_ = ColorModel::Rgb;
  std::uint32_t bits_ = 24;
  std::uint32_t dataOffset_ = 0;
  std::size_t rowBytes_ = 0;
  std::vector<std::uint8_t> row_;
  std::uint32_t y_ = 0;
  std::optional<PaletteQuantizer> quantizer_;
};

}  // namespace

std::unique_ptr<Decoder> bmpDecoder(const ByteSource& source) {
  return std::make_unique<BmpDecoder>(source);
}

std::unique_ptr<Encoder> bmpEncoder() { return std::make_unique<BmpEncoder>(); }

}  // namespace karvelo::converter
