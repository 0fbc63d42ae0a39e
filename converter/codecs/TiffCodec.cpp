// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/LibraryCodecs.h"
#include "converter/codecs/TiffPieces.h"
#include "converter/core/ConversionError.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace karvelo::converter {

namespace {

// Rows of the RGBA interface gathered at a time, at most; a strip or a row of tiles when it fits.
constexpr std::uint64_t bandBytes = 16 << 20;
// The most libtiff may take at once (a strip or tile it decodes whole): a file that declares
// more is refused rather than believed.
constexpr tmsize_t libraryAllocation = 64 << 20;

// The last message of libtiff, which otherwise prints to the standard error stream.
char lastTiffMessage[256] = "TIFF data cannot be read";

void keepMessage(const char* module, const char* format, va_list arguments) {
  char text[200];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::snprintf(lastTiffMessage, sizeof lastTiffMessage, "%s%s%s", module ? module : "",
                module ? ": " : "", text);
}

void ignoreWarning(const char*, const char*, va_list) {}

void quietLibtiff() {
  TIFFSetErrorHandler(keepMessage);
  TIFFSetWarningHandler(ignoreWarning);
}

// The bytes behind a libtiff handle (the source, or the sink, which reads back too), with the
// position; a failure is kept and thrown again once libtiff has returned.
struct Stream {
  const ByteSource* bytes = nullptr;
  ByteSink* sink = nullptr;  // only when writing
  std::uint64_t pos = 0;
  std::exception_ptr cause;
};

tmsize_t readStream(thandle_t handle, void* buffer, tmsize_t size) {
  auto* stream = static_cast<Stream*>(handle);
  try {
    const std::size_t got =
        stream->bytes->readAt(stream->pos, buffer, static_cast<std::size_t>(size));
    stream->pos += got;
    return static_cast<tmsize_t>(got);
  } catch (...) {
    stream->cause = std::current_exception();
    return -1;
  }
}

tmsize_t writeStream(thandle_t handle, void* buffer, tmsize_t size) {
  auto* stream = static_cast<Stream*>(handle);
  if (stream->sink == nullptr) {
    return -1;
  }
  try {
    stream->sink->writeAt(stream->pos, std::span(static_cast<const std::uint8_t*>(buffer),
                                                 static_cast<std::size_t>(size)));
    stream->pos += static_cast<std::uint64_t>(size);
    return size;
  } catch (...) {
    stream->cause = std::current_exception();
    return -1;
  }
}

toff_t seekStream(thandle_t handle, toff_t offset, int whence) {
  auto* stream = static_cast<Stream*>(handle);
  const std::uint64_t base = whence == SEEK_CUR   ? stream->pos
                             : whence == SEEK_END ? stream->bytes->size()
                                                  : 0;
  stream->pos = base + offset;
  return stream->pos;
}

int closeNothing(thandle_t) { return 0; }

toff_t streamSize(thandle_t handle) { return static_cast<Stream*>(handle)->bytes->size(); }

int noMap(thandle_t, void**, toff_t*) { return 0; }

void noUnmap(thandle_t, void*, toff_t) {}

struct TiffClose {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffClose>;

bool keepsCompression(int compression) {
  return compression == COMPRESSION_NONE || compression == COMPRESSION_LZW ||
         compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE ||
         compression == COMPRESSION_PACKBITS;
}

// Reads the first page a row at a time. Gray, RGB and CMYK of 8 or 16 bits per sample are read as
// wide as stored: scanline by scanline when the samples lie side by side in strips, which
// decodes each strip once however tall it is, else a band of tiles or of separate planes at a
// time. Everything else goes through libtiff's RGBA interface a strip or a row of tiles at a time.
class TiffDecoder final : public Decoder {
 public:
  explicit TiffDecoder(const ByteSource& source) { stream_.bytes = &source; }

  ~TiffDecoder() override {
    if (rgbaStarted_) {
      TIFFRGBAImageEnd(&rgba_);
    }
  }

  DecodedRows start(PixelSize) override {
    quietLibtiff();
    const std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(
        TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), libraryAllocation);
    tiff_.reset(TIFFClientOpenExt("source", "rm", &stream_, readStream, writeStream, seekStream,
                                  closeNothing, streamSize, noMap, noUnmap, options.get()));
    if (!tiff_) {
      fail();
    }
    return startPage();
  }

  void readRow(std::span<std::uint8_t> row) override {
    if (scanlines_) {
      readScanline(row);
    } else {
      readRgba(row);
    }
    ++row_;
  }

  // The next page, passing over reduced-resolution images (thumbnails), which are no pages.
  std::optional<DecodedRows> nextFrame() override {
    if (rgbaStarted_) {
      TIFFRGBAImageEnd(&rgba_);
      rgbaStarted_ = false;
    }
    do {
      if (TIFFLastDirectory(tiff_.get()) != 0) {
        return std::nullopt;
      }
      // A page that the file names but that cannot be read fails the whole picture: a result
      // without it would lose a page and still say it succeeded.
      if (TIFFReadDirectory(tiff_.get()) != 1) {
        if (stream_.cause) {
          std::rethrow_exception(stream_.cause);
        }
        damagedPicture("a later page of the TIFF cannot be read");
      }
    } while (reduced());
    row_ = 0;
    DecodedRows rows = startPage();
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff_.get(), TIFFTAG_ORIENTATION, &orientation);
    rows.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    return rows;
  }

 private:
  bool reduced() {
    std::uint32_t kind = 0;
    return TIFFGetField(tiff_.get(), TIFFTAG_SUBFILETYPE, &kind) == 1 &&
           (kind & FILETYPE_REDUCEDIMAGE) != 0;
  }

  DecodedRows startPage() {
    TIFF* file = tiff_.get();
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    std::uint16_t samples = 1;
    std::uint16_t bits = 1;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    std::uint16_t inkSet = INKSET_CMYK;
    std::uint16_t extraCount = 0;
    std::uint16_t* extraKinds = nullptr;
    TIFFGetField(file, TIFFTAG_IMAGEWIDTH, &size_.width);
    TIFFGetField(file, TIFFTAG_IMAGELENGTH, &size_.height);
    TIFFGetFieldDefaulted(file, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(file, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(file, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(file, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(file, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(file, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(file, TIFFTAG_INKSET, &inkSet);
    TIFFGetFieldDefaulted(file, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
    alpha_ = extraCount > 0 && extraKinds != nullptr &&
             (extraKinds[0] == EXTRASAMPLE_ASSOCALPHA || extraKinds[0] == EXTRASAMPLE_UNASSALPHA);
    associated_ = alpha_ && extraKinds[0] == EXTRASAMPLE_ASSOCALPHA;
    const int colours = samples - extraCount;
    const bool gray =
        (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
        colours == 1;
    if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG) {
      TIFFSetField(file, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      photometric = PHOTOMETRIC_RGB;
    }
    const bool cmyk = photometric == PHOTOMETRIC_SEPARATED && inkSet == INKSET_CMYK && colours == 4;
    DecodedRows rows;
    rows.size = size_;
    rows.hints.compression = compression;
    rows.model = gray ? (alpha_ ? ColorModel::GrayAlpha : ColorModel::Gray)
                      : (alpha_ ? ColorModel::Rgba : ColorModel::Rgb);
    scanlines_ = format == SAMPLEFORMAT_UINT && (bits == 8 || bits == 16) &&
                 (gray || cmyk || (photometric == PHOTOMETRIC_RGB && colours == 3));
    if (scanlines_) {
      if (cmyk) {
        rows.model = ColorModel::Cmyk;
        alpha_ = false;
      }
      invert_ = photometric == PHOTOMETRIC_MINISWHITE;
      sampleBytes_ = bits / 8;
      rows.bitsPerSample = bits;
      samples_ = samples;
      scanline_.resize(std::max(static_cast<std::size_t>(TIFFScanlineSize(file)),
                                std::size_t{size_.width} * samples * sampleBytes_));
      if (TIFFIsTiled(file) || planar == PLANARCONFIG_SEPARATE) {
        pieces_.emplace(file, size_, samples_, sampleBytes_);
      }
    } else {
      startRgba();
    }
    model_ = rows.model;
    return rows;
  }

  [[noreturn]] void fail() {
    if (stream_.cause) {
      std::rethrow_exception(stream_.cause);
    }
    damagedPicture(lastTiffMessage);
  }

  void readScanline(std::span<std::uint8_t> row) {
    if (pieces_ ? !pieces_->read(row_, scanline_)
                : TIFFReadScanline(tiff_.get(), scanline_.data(), row_, 0) != 1) {
      fail();
    }
    if (sampleBytes_ == 2) {
      copySamples<std::uint16_t>(row);
    } else {
      copySamples<std::uint8_t>(row);
    }
  }

  // The samples of the scanline as wide as stored (16-bit ones libtiff has put in the machine's
  // order), without the extra samples other than alpha, black as 0 and alpha straight.
  template <typename Sample>
  void copySamples(std::span<std::uint8_t> row) {
    const std::size_t channels = static_cast<std::size_t>(channelsOf(model_));
    const std::size_t colours = hasAlpha(model_) ? channels - 1 : channels;
    constexpr auto max = std::numeric_limits<Sample>::max();
    Sample pixel[8];
    for (std::uint32_t x = 0; x < size_.width; ++x) {
      std::memcpy(pixel, scanline_.data() + std::size_t{x} * samples_ * sizeof(Sample),
                  channels * sizeof(Sample));
      if (invert_) {
        pixel[0] = static_cast<Sample>(max - pixel[0]);
      }
      if (associated_ && hasAlpha(model_)) {
        unpremultiply(pixel, colours);
      }
      std::memcpy(row.data() + std::size_t{x} * channels * sizeof(Sample), pixel,
                  channels * sizeof(Sample));
    }
  }

  void startRgba() {
    char message[1024] = "";
    if (TIFFRGBAImageOK(tiff_.get(), message) == 0) {
      throw ConversionError(ExitCode::UnsupportedFormat,
                            std::string("this kind of TIFF is not supported (") + message + ")");
    }
    if (TIFFRGBAImageBegin(&rgba_, tiff_.get(), 1, message) == 0) {
      damagedPicture(message);
    }
    rgbaStarted_ = true;
    // Asking for the orientation the file already has gives the pixels as stored; they are
    // turned upright after resizing, like any other picture's.
    rgba_.req_orientation = rgba_.orientation;
    std::uint32_t unit = 0;
    if (TIFFIsTiled(tiff_.get())) {
      TIFFGetField(tiff_.get(), TIFFTAG_TILELENGTH, &unit);
    } else {
      TIFFGetFieldDefaulted(tiff_.get(), TIFFTAG_ROWSPERSTRIP, &unit);
    }
    const std::uint64_t fits =
        std::max<std::uint64_t>(1, bandBytes / (std::uint64_t{size_.width} * 4));
    bandRows_ = static_cast<std::uint32_t>(
        std::clamp<std::uint64_t>(unit, 1, std::min<std::uint64_t>(fits, size_.height)));
    band_.resize(std::size_t{size_.width} * bandRows_);
  }

  void readRgba(std::span<std::uint8_t> row) {
    if (row_ % bandRows_ == 0) {
      rgba_.row_offset = static_cast<int>(row_);
      rgba_.col_offset = 0;
      const std::uint32_t rows = std::min(bandRows_, size_.height - row_);
      if (TIFFRGBAImageGet(&rgba_, band_.data(), size_.width, rows) != 1) {
        fail();
      }
    }
    const std::size_t channels = static_cast<std::size_t>(channelsOf(model_));
    const std::uint32_t* in = band_.data() + std::size_t{row_ % bandRows_} * size_.width;
    for (std::uint32_t x = 0; x < size_.width; ++x) {
      const std::uint32_t pixel = in[x];
      const std::uint8_t rgba[4] = {
          static_cast<std::uint8_t>(TIFFGetR(pixel)), static_cast<std::uint8_t>(TIFFGetG(pixel)),
          static_cast<std::uint8_t>(TIFFGetB(pixel)), static_cast<std::uint8_t>(TIFFGetA(pixel))};
      std::uint8_t* out = row.data() + x * channels;
      const std::size_t colours = hasAlpha(model_) ? channels - 1 : channels;
      std::copy_n(rgba, colours, out);
      if (hasAlpha(model_)) {
        // The RGBA interface weights colour by alpha; the pixels are kept straight.
        out[colours] = rgba[3];
        unpremultiply(out, colours);
      }
    }
  }

  template <typename Sample>
  static void unpremultiply(Sample* pixel, std::size_t colours) {
    constexpr unsigned max = std::numeric_limits<Sample>::max();
    const unsigned alpha = pixel[colours];
    if (alpha != 0 && alpha != max) {
      for (std::size_t c = 0; c < colours; ++c) {
        pixel[c] = static_cast<Sample>(
            std::min(max, static_cast<unsigned>((std::uint64_t{pixel[c]} * max + alpha / 2) / alpha)));
      }
    }
  }

  Stream stream_;
  TiffHandle tiff_;
  PixelSize size_;
  ColorModel model_ = ColorModel::Rgb;
  bool alpha_ = false;
  bool associated_ = false;
  bool scanlines_ = false;
  bool invert_ = false;
  std::size_t sampleBytes_ = 1;
  std::size_t samples_ = 1;
  std::vector<std::uint8_t> scanline_;
  std::optional<TiffPieces> pieces_;  // tiles, or samples in separate planes
  TIFFRGBAImage rgba_{};
  bool rgbaStarted_ = false;
  std::uint32_t bandRows_ = 1;
  std::vector<std::uint32_t> band_;
  std::uint32_t row_ = 0;
};

class TiffEncoder final : public Encoder {
 public:
  void start(const EncodedRows& result, ByteSink& sink) override {
    quietLibtiff();
    stream_.bytes = &sink;
    stream_.sink = &sink;
    tiff_.reset(TIFFClientOpen("result", "w", &stream_, readStream, writeStream, seekStream,
                               closeNothing, streamSize, noMap, noUnmap));
    if (!tiff_) {
      fail();
    }
    beginPage(result);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    // libtiff may change the row it is given (the predictor works in place).
    std::copy(row.begin(), row.end(), row_.begin());
    if (TIFFWriteScanline(tiff_.get(), row_.data(), y_++, 0) != 1) {
      fail();
    }
  }

  void nextFrame(const EncodedRows& page) override {
    if (TIFFWriteDirectory(tiff_.get()) != 1) {
      fail();
    }
    ++page_;
    y_ = 0;
    beginPage(page);
  }

  void finish() override {
    if (TIFFFlush(tiff_.get()) != 1) {
      fail();
    }
    tiff_.reset();
    if (stream_.cause) {
      std::rethrow_exception(stream_.cause);
    }
  }

 private:
  // The fields of the page about to be written; each page of several is marked as one.
  void beginPage(const EncodedRows& result) {
    TIFF* file = tiff_.get();
    if (result.frames > 1) {
      TIFFSetField(file, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
      TIFFSetField(file, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(page_),
                   static_cast<std::uint16_t>(std::max(result.frames, page_ + 1)));
    }
    const int compression =
        keepsCompression(result.hints.compression) ? result.hints.compression : COMPRESSION_LZW;
    const bool gray = result.model == ColorModel::Gray || result.model == ColorModel::GrayAlpha;
    TIFFSetField(file, TIFFTAG_IMAGEWIDTH, result.size.width);
    TIFFSetField(file, TIFFTAG_IMAGELENGTH, result.size.height);
    TIFFSetField(file, TIFFTAG_BITSPERSAMPLE, result.bitsPerSample);
    TIFFSetField(file, TIFFTAG_SAMPLESPERPIXEL, channelsOf(result.model));
    TIFFSetField(file, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(file, TIFFTAG_PHOTOMETRIC,
                 result.model == ColorModel::Cmyk ? PHOTOMETRIC_SEPARATED
                 : gray                           ? PHOTOMETRIC_MINISBLACK
                                                  : PHOTOMETRIC_RGB);
    TIFFSetField(file, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(file, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
        compression == COMPRESSION_DEFLATE) {
      TIFFSetField(file, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    }
    if (hasAlpha(result.model)) {
      const std::uint16_t kind = EXTRASAMPLE_UNASSALPHA;
      TIFFSetField(file, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    TIFFSetField(file, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(file, 0));
    row_.resize(std::size_t{result.size.width} * channelsOf(result.model) *
                (result.bitsPerSample / 8));
  }

  [[noreturn]] void fail() {
    if (stream_.cause) {
      std::rethrow_exception(stream_.cause);
    }
    throw std::runtime_error(std::string("TIFF encoding failed: ") + lastTiffMessage);
  }

  Stream stream_;
  TiffHandle tiff_;
  std::vector<std::uint8_t> row_;
  std::uint32_t y_ = 0;
  std::uint32_t page_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> tiffDecoder(const ByteSource& source) {
  return std::make_unique<TiffDecoder>(source);
}

std::unique_ptr<Encoder> tiffEncoder() { return std::make_unique<TiffEncoder>(); }

}  // namespace karvelo::converter
