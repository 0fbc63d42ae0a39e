// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/LibraryCodecs.h"
#include "converter/codecs/PaletteQuantizer.h"
#include "converter/core/ConversionError.h"
#include "converter/engine/RowStore.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>

namespace karvelo::converter {

namespace {

// Photographs compress best with every row filtered by its left neighbour (Sub), screenshots and
// drawings unfiltered (a halved screenshot: 215 KB with Sub, 169 KB without), and libpng's
// per-row guess picks Sub for both. So every band of rows is filtered the way that deflated its
// first rows smaller. Those are a sixteenth of the picture, deflated twice: on a large
// photograph that adds a twentieth to the time.
//
// The level follows the first choice. Filtered rows are deflated at zlib's level 1: on an
// 18-megapixel photograph halved, level 6 took 1.43 s of processor time for 3.6 MB, level 1
// 0.42 s for 4.4 MB (vipsthumbnail 0.76 s, 6.0 MB). Unfiltered rows cost little more at level
// 6, which makes a screenshot's result a sixth smaller.
class RowFilterChoice {
 public:
  static constexpr std::uint32_t bandRows = 64;
  static constexpr std::uint32_t sampleRows = 4;
  // Rows wider than this over the sample are sampled by their first bytes.
  static constexpr std::size_t sampleBytes = 256 * 1024;

  RowFilterChoice() {
    if (deflateInit(&stream_, 1) != Z_OK) {
      throw std::bad_alloc();
    }
  }
  ~RowFilterChoice() { deflateEnd(&stream_); }
  RowFilterChoice(const RowFilterChoice&) = delete;
  RowFilterChoice& operator=(const RowFilterChoice&) = delete;

  static int levelFor(int filter) { return filter == PNG_FILTER_NONE ? 6 : 1; }

  // Takes row `y` of pixels `step` bytes wide; returns the filter for the rows after it when
  // the band's sample is complete or `y` is the last row, else nothing.
  std::optional<int> add(std::uint32_t y, std::span<const std::uint8_t> row, std::size_t step,
                         bool last) {
    if (y % bandRows == 0) {
      plain_.clear();
      sub_.clear();
      sampling_ = true;
    }
    if (!sampling_) {
      return std::nullopt;
    }
    const std::size_t take = std::min(row.size(), sampleBytes - plain_.size());
    plain_.insert(plain_.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(take));
    for (std::size_t i = 0; i < take; ++i) {
      sub_.push_back(static_cast<std::uint8_t>(row[i] - (i >= step ? row[i - step] : 0)));
    }
    if (y % bandRows + 1 < sampleRows && plain_.size() < sampleBytes && !last) {
      return std::nullopt;
    }
    sampling_ = false;
    return deflatedSize(plain_) <= deflatedSize(sub_) ? PNG_FILTER_NONE : PNG_FILTER_SUB;
  }

 private:
  std::size_t deflatedSize(std::vector<std::uint8_t>& bytes) {
    deflateReset(&stream_);
    out_.resize(deflateBound(&stream_, bytes.size()));
    stream_.next_in = bytes.data();
    stream_.avail_in = static_cast<uInt>(bytes.size());
    stream_.next_out = out_.data();
    stream_.avail_out = static_cast<uInt>(out_.size());
    deflate(&stream_, Z_FINISH);
    return stream_.total_out;
  }

  z_stream stream_{};
  std::vector<std::uint8_t> plain_;
  std::vector<std::uint8_t> sub_;
  std::vector<std::uint8_t> out_;
  bool sampling_ = false;
};

// libpng reports failures through a long jump; the message is kept for the exception thrown
// after it, and a failure of the byte source or sink is thrown again as it was.
struct ErrorText {
  char text[200] = "unknown error";
  std::exception_ptr cause;
};

void onError(png_structp png, png_const_charp message) {
  auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", message);
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Runs libpng calls; returns normally only when they succeeded. Whatever `calls` holds must need
// no destructor, since a failure jumps over it.
template <typename Calls>
void guarded(png_structp png, ErrorText& error, Calls&& calls, bool decoding) {
  if (setjmp(png_jmpbuf(png)) != 0) {
    if (error.cause) {
      std::rethrow_exception(error.cause);
    }
    if (decoding) {
      damagedPicture(error.text);
    }
    throw std::runtime_error(std::string("PNG encoding failed: ") + error.text);
  }
  calls();
}

void readSource(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<SourceReader*>(png_get_io_ptr(png));
  std::size_t got = 0;
  try {
    got = reader->read(out, length);
  } catch (...) {
    static_cast<ErrorText*>(png_get_error_ptr(png))->cause = std::current_exception();
    png_error(png, "the file cannot be read");
  }
  if (got < length) {
    png_error(png, "the file ends too early");
  }
}

class PngDecoder final : public Decoder {
 public:
  explicit PngDecoder(const ByteSource& source) : reader_(source) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error_, onError, onWarning);
    info_ = png_ ? png_create_info_struct(png_) : nullptr;
    if (info_ == nullptr) {
      png_destroy_read_struct(&png_, nullptr, nullptr);
      throw std::bad_alloc();
    }
    png_set_read_fn(png_, &reader_, readSource);
  }

  ~PngDecoder() override { png_destroy_read_struct(&png_, &info_, nullptr); }

  DecodedRows start(PixelSize) override {
    DecodedRows rows;
    int passes = 1;
    guarded(
        png_, error_,
        [&] {
          png_set_user_limits(png_, 0x7FFFFFFF, 0x7FFFFFFF);
          png_set_chunk_malloc_max(png_, 64 * 1024 * 1024);
          // The metadata is read from the file's bytes by shared code.
          static const png_byte skipped[] = "iCCP\0eXIf\0tEXt\0zTXt\0iTXt\0sPLT";
          png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, skipped, 6);
          png_read_info(png_, info_);
          const int colorType = png_get_color_type(png_, info_);
          if (colorType == PNG_COLOR_TYPE_PALETTE) {
            rows.hints.paletteBits = png_get_bit_depth(png_, info_);
          }
          png_set_expand(png_);
          // 16-bit samples stay 16 bits, in the machine's byte order.
          if (png_get_bit_depth(png_, info_) == 16) {
            rows.bitsPerSample = 16;
            if constexpr (std::endian::native == std::endian::little) {
              png_set_swap(png_);
            }
          }
          passes = png_set_interlace_handling(png_);
          png_read_update_info(png_, info_);
          rows.size = {png_get_image_width(png_, info_), png_get_image_height(png_, info_)};
          const int channels = png_get_channels(png_, info_);
          const bool gray = (colorType & PNG_COLOR_MASK_COLOR) == 0;
          if (channels == 1 && gray) {
            rows.model = ColorModel::Gray;
          } else if (channels == 2 && gray) {
            rows.model = ColorModel::GrayAlpha;
          } else if (channels == 4) {
            rows.model = ColorModel::Rgba;
          } else if (channels != 3) {
            png_error(png_, "unexpected channel layout");
          }
        },
        true);
    rowBytes_ = std::size_t{rows.size.width} * channelsOf(rows.model) * (rows.bitsPerSample / 8);
    if (passes > 1) {
      readInterlaced(rows.size.height, passes);
    }
    return rows;
  }

  void readRow(std::span<std::uint8_t> row) override {
    if (store_) {
      store_->read(row_++, 0, row.first(rowBytes_));
      return;
    }
    guarded(
        png_, error_, [&] { png_read_row(png_, row.data(), nullptr); }, true);
  }

 private:
  // An interlaced picture's passes each add pixels to rows spread over the whole picture, so the
  // rows are gathered first: each pass reads back the rows it adds to.
  void readInterlaced(std::uint32_t height, int passes) {
    store_.emplace(rowBytes_, height);
    std::vector<std::uint8_t> row(rowBytes_);
    for (int pass = 0; pass < passes; ++pass) {
      for (std::uint32_t y = 0; y < height; ++y) {
        const bool touched = PNG_ROW_IN_INTERLACE_PASS(y, pass) != 0;
        if (touched) {
          store_->read(y, 0, row);
        }
        guarded(
            png_, error_, [&] { png_read_row(png_, row.data(), nullptr); }, true);
        if (touched) {
          store_->write(y, row);
        }
      }
    }
  }

  SourceReader reader_;
  ErrorText error_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  std::size_t rowBytes_ = 0;
  std::optional<RowStore> store_;
  std::uint32_t row_ = 0;
};

void writeSink(png_structp png, png_bytep data, png_size_t length) {
  auto* sink = static_cast<ByteSink*>(png_get_io_ptr(png));
  try {
    sink->append(std::span<const std::uint8_t>(data, length));
  } catch (...) {
    static_cast<ErrorText*>(png_get_error_ptr(png))->cause = std::current_exception();
    png_error(png, "the file cannot be written");
  }
}

void flushNothing(png_structp) {}

class PngEncoder final : public Encoder {
 public:
  PngEncoder() {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error_, onError, onWarning);
    info_ = png_ ? png_create_info_struct(png_) : nullptr;
    if (info_ == nullptr) {
      png_destroy_write_struct(&png_, nullptr);
      throw std::bad_alloc();
    }
  }

  ~PngEncoder() override { png_destroy_write_struct(&png_, &info_); }

  void start(const EncodedRows& result, ByteSink& sink) override {
    int colorType = PNG_COLOR_TYPE_RGB;
    switch (result.model) {
      case ColorModel::Gray:
        colorType = PNG_COLOR_TYPE_GRAY;
        break;
      case ColorModel::GrayAlpha:
        colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        break;
      case ColorModel::Rgb:
        break;
      case ColorModel::Rgba:
        colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        break;
      case ColorModel::Cmyk:
        throw std::logic_error("a PNG cannot hold CMYK");
    }
    result_ = result;
    sink_ = &sink;
    // A palette source gives a palette result, made once all its rows are in.
    if (result.hints.paletteBits > 0 && result.bitsPerSample == 8 &&
        (colorType & PNG_COLOR_MASK_COLOR) != 0) {
      quantizer_.emplace(result.size, 1U << paletteBits());
      return;
    }
    writeHeader(colorType, result.bitsPerSample);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    if (quantizer_) {
      quantizer_->addRow(row, channelsOf(result_.model));
      return;
    }
    const std::uint32_t y = rowsWritten_++;
    const std::optional<int> filter =
        filterChoice_.add(y, row, row.size() / result_.size.width, y + 1 == result_.size.height);
    if (holdingFirstRows_) {
      // The first rows wait for the first choice, which also sets the level.
      firstRows_.insert(firstRows_.end(), row.begin(), row.end());
      if (filter) {
        writeFirstRows(*filter, row.size());
        holdingFirstRows_ = false;
      }
      return;
    }
    guarded(
        png_, error_,
        [&] {
          png_write_row(png_, row.data());
          if (filter) {
            png_set_filter(png_, PNG_FILTER_TYPE_BASE, *filter);
          }
        },
        false);
  }

  void finish() override {
    if (quantizer_) {
      writePalette(quantizer_->quantize());
      quantizer_->remap([&](std::uint32_t, std::span<const std::uint8_t> indexes) {
        guarded(
            png_, error_, [&] { png_write_row(png_, indexes.data()); }, false);
      });
    }
    guarded(
        png_, error_, [&] { png_write_end(png_, info_); }, false);
  }

 private:
  // The bits of a palette index: the source's, 1, 2, 4 or 8.
  int paletteBits() const {
    int bits = 1;
    while (bits < 8 && bits < result_.hints.paletteBits) {
      bits *= 2;
    }
    return bits;
  }

  void writeFirstRows(int filter, std::size_t rowBytes) {
    guarded(
        png_, error_,
        [&] {
          png_set_filter(png_, PNG_FILTER_TYPE_BASE, filter);
          png_set_compression_level(png_, RowFilterChoice::levelFor(filter));
          for (std::size_t at = 0; at < firstRows_.size(); at += rowBytes) {
            png_write_row(png_, firstRows_.data() + at);
          }
        },
        false);
    firstRows_ = {};
  }

  void writeHeader(int colorType, int bitDepth, const std::function<void()>& beforeInfo = {}) {
    guarded(
        png_, error_,
        [&] {
          png_set_write_fn(png_, sink_, writeSink, flushNothing);
          // Unfiltered palette indexes at level 6: differences of indexes compress worse. libpng
          // would choose a strategy for filtered data from the first filter, which makes level
          // 6 worse than level 1 on unfiltered rows.
          png_set_compression_level(png_, RowFilterChoice::levelFor(PNG_FILTER_NONE));
          png_set_compression_strategy(png_, Z_DEFAULT_STRATEGY);
          png_set_filter(png_, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
          png_set_IHDR(png_, info_, result_.size.width, result_.size.height, bitDepth, colorType,
                       PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
          if (beforeInfo) {
            beforeInfo();
          }
          png_write_info(png_, info_);
          if (bitDepth == 16 && std::endian::native == std::endian::little) {
            png_set_swap(png_);
          }
        },
        false);
  }

  // The palette and, where some colours are transparent, their alpha (the transparent colours
  // come first, so the table ends with the last of them). Indexes of fewer than 8 bits are packed
  // by libpng.
  void writePalette(const std::vector<PaletteColor>& palette) {
    std::vector<png_color> colors;
    std::vector<png_byte> alpha;
    for (const PaletteColor& color : palette) {
      colors.push_back({color[0], color[1], color[2]});
      if (color[3] < 255) {
        alpha.push_back(color[3]);
      }
    }
    const int bits = paletteBits();
    writeHeader(PNG_COLOR_TYPE_PALETTE, bits, [&] {
      png_set_PLTE(png_, info_, colors.data(), static_cast<int>(colors.size()));
      if (!alpha.empty()) {
        png_set_tRNS(png_, info_, alpha.data(), static_cast<int>(alpha.size()), nullptr);
      }
    });
    if (bits < 8) {
      guarded(
          png_, error_, [&] { png_set_packing(png_); }, false);
    }
  }

  ErrorText error_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  EncodedRows result_;
  RowFilterChoice filterChoice_;
  std::uint32_t rowsWritten_ = 0;
  std::vector<std::uint8_t> firstRows_;
  bool holdingFirstRows_ = true;
  ByteSink* sink_ = nullptr;
  std::optional<PaletteQuantizer> quantizer_;
};

}  // namespace

std::unique_ptr<Decoder> pngDecoder(const ByteSource& source) {
  return std::make_unique<PngDecoder>(source);
}

std::unique_ptr<Encoder> pngEncoder() { return std::make_unique<PngEncoder>(); }

}  // namespace karvelo::converter
