// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/wic/ByteStream.h"
#include "converter/wic/Wic.h"
#include "converter/wic/WicPalette.h"
#include "converter/wic/WicPixels.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace karvelo::converter::wic {

namespace {

constexpr float jpegQuality = 0.9F;
// HEIF and AVIF at the quality that the Linux build gives libheif's encoders.
constexpr float heifQuality = 0.75F;
constexpr std::size_t stripBytes = 1 << 20;

// The compression of a TIFF result: the source's where the encoder offers it, else LZW.
BYTE tiffCompression(int sourceCompression) {
  switch (sourceCompression) {
    case 1:
      return WICTiffCompressionNone;
    case 8:
    case 32946:
      return WICTiffCompressionZIP;
    case 32773:
      return WICTiffCompressionRLE;
    default:
      return WICTiffCompressionLZW;
  }
}

// Sets an encoder option; an option that this system's encoder lacks is left out.
void setOption(IPropertyBag2& options, const wchar_t* name, VARIANT value) {
  PROPBAG2 option{};
  option.pstrName = const_cast<LPOLESTR>(name);
  options.Write(1, &option, &value);
}

VARIANT byteValue(BYTE number) {
  VARIANT value{};
  value.vt = VT_UI1;
  value.bVal = number;
  return value;
}

// How this system's encoder of a format stores samples of 16 bits: as given, with their two bytes
// exchanged (Wine's PNG encoder, whose files other readers and its own decoder read with every
// sample's bytes exchanged), or not so that they come back.
enum class DeepSamples { Kept, Exchanged, Lost };

std::uint16_t exchanged(std::uint16_t sample) {
  return static_cast<std::uint16_t>(sample << 8 | sample >> 8);
}

// Found by writing one pixel of `layout` and reading it back with the format's decoder, which
// reads the sources and is taken to read them right.
DeepSamples deepSamplesOf(PictureFormat format, Layout layout) {
  const auto channels = static_cast<std::size_t>(channelsOf(layout.model));
  std::vector<std::uint16_t> written(channels);
  for (std::size_t c = 0; c < channels; ++c) {
    written[c] = static_cast<std::uint16_t>(0x0102 + 0x0203 * c);
  }
  const auto bytes = static_cast<UINT>(channels * 2);
  try {
    MemorySink file;
    ComPtr<ByteStream> out;
    out.Attach(new ByteStream(file));
    const ComPtr<IWICBitmapEncoder> encoder = createEncoder(format);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    GUID pixelFormat = pixelFormatOf(layout);
    if (FAILED(encoder->Initialize(out.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)) ||
        FAILED(frame->Initialize(options.Get())) || FAILED(frame->SetSize(1, 1)) ||
        FAILED(frame->SetPixelFormat(&pixelFormat)) ||
        !IsEqualGUID(pixelFormat, pixelFormatOf(layout)) ||
        FAILED(frame->WritePixels(1, bytes, bytes, reinterpret_cast<BYTE*>(written.data()))) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
      return DeepSamples::Lost;
    }
    const MemorySource source(file.bytes());
    ComPtr<ByteStream> in;
    in.Attach(new ByteStream(source));
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> decoded;
    std::vector<std::uint16_t> read(channels);
    if (FAILED(factory().CreateDecoder(containerOf(format), nullptr, &decoder)) ||
        FAILED(decoder->Initialize(in.Get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, &decoded)) ||
        FAILED(decoded->GetPixelFormat(&pixelFormat)) ||
        !IsEqualGUID(pixelFormat, pixelFormatOf(layout)) ||
        FAILED(decoded->CopyPixels(nullptr, bytes, bytes, reinterpret_cast<BYTE*>(read.data())))) {
      return DeepSamples::Lost;
    }
    if (read == written) {
      return DeepSamples::Kept;
    }
    std::transform(read.begin(), read.end(), read.begin(), exchanged);
    return read == written ? DeepSamples::Exchanged : DeepSamples::Lost;
  } catch (const std::exception&) {
    return DeepSamples::Lost;
  }
}

class WicEncoder final : public Encoder {
 public:
  explicit WicEncoder(PictureFormat format) : format_(format), encoder_(createEncoder(format)) {}

  void start(const EncodedRows& result, ByteSink& sink) override {
    stream_.Attach(new ByteStream(sink));
    check(encoder_->Initialize(stream_.Get(), WICBitmapEncoderNoCache));
    beginFrame(result);
  }

  // A TIFF's next page, of its own size and model, in a frame of its own.
  void nextFrame(const EncodedRows& page) override {
    endFrame();
    beginFrame(page);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    if (indexed_) {
      indexed_->addRow(row, model_);
      return;
    }
    std::uint8_t* const out = strip_.data() + std::size_t{held_} * stride();
    convertRow({model_, false, bitsPerSample_}, row.data(), layout_, out, size_.width);
    if (exchange_) {
      for (std::size_t i = 0; i < stride(); i += 2) {
        std::swap(out[i], out[i + 1]);
      }
    }
    if (++held_ == stripRows_) {
      flush();
    }
  }

  void finish() override {
    endFrame();
    check(encoder_->Commit());
  }

 private:
  void beginFrame(const EncodedRows& result) {
    size_ = result.size;
    model_ = result.model;
    bitsPerSample_ = result.bitsPerSample;
    frame_.Reset();
    indexed_.reset();
    held_ = 0;
    ComPtr<IPropertyBag2> options;
    check(encoder_->CreateNewFrame(&frame_, &options));
    if (options) {
      setOptions(*options.Get(), result);
    }
    check(frame_->Initialize(options.Get()));
    check(frame_->SetSize(size_.width, size_.height));
    if (result.hints.paletteBits > 0 && result.bitsPerSample == 8 &&
        (model_ == ColorModel::Rgb || model_ == ColorModel::Rgba) && negotiateIndexes(result)) {
      indexed_.emplace(size_);
      return;
    }
    layout_ = negotiateLayout();
    stripRows_ = static_cast<std::uint32_t>(
        std::clamp<std::size_t>(stripBytes / stride(), 1, std::max(size_.height, 1U)));
    strip_.resize(std::size_t{stripRows_} * stride());
  }

  void endFrame() {
    if (indexed_) {
      writeIndexes();
    }
    flush();
    check(frame_->Commit());
  }

  void check(HRESULT result) const {
    if (FAILED(result)) {
      if (stream_) {
        stream_->rethrowFailure();
      }
      throw std::runtime_error("the " + nameOf(format_) + " encoder failed (" + hex(result) + ")");
    }
  }

  void setOptions(IPropertyBag2& options, const EncodedRows& result) const {
    switch (format_) {
      case PictureFormat::Jpeg: {
        VARIANT quality{};
        quality.vt = VT_R4;
        quality.fltVal = jpegQuality;
        setOption(options, L"ImageQuality", quality);
        // Colour subsampled as the source's was, where the encoder has that sampling (4:2:0
        // otherwise).
        const ChromaSampling chroma = result.hints.chroma;
        const auto sampling = chroma == ChromaSampling{1, 1}   ? WICJpegYCrCbSubsampling444
                              : chroma == ChromaSampling{2, 1} ? WICJpegYCrCbSubsampling422
                              : chroma == ChromaSampling{1, 2} ? WICJpegYCrCbSubsampling440
                                                               : WICJpegYCrCbSubsampling420;
        setOption(options, L"JpegYCrCbSubsampling", byteValue(sampling));
        break;
      }
      case PictureFormat::Tiff:
        setOption(options, L"TiffCompressionMethod",
                  byteValue(tiffCompression(result.hints.compression)));
        break;
      case PictureFormat::Heif:
      case PictureFormat::Avif: {
        VARIANT quality{};
        quality.vt = VT_R4;
        quality.fltVal = heifQuality;
        setOption(options, L"ImageQuality", quality);
        // WICHeifCompressionHEVC (2) or WICHeifCompressionAV1 (3): one container holds both.
        setOption(options, L"HeifCompressionMethod",
                  byteValue(format_ == PictureFormat::Avif ? 3 : 2));
        break;
      }
      case PictureFormat::Bmp:
        if (hasAlpha(result.model)) {
          VARIANT alpha{};
          alpha.vt = VT_BOOL;
          alpha.boolVal = VARIANT_TRUE;
          setOption(options, L"EnableV5Header32bppBGRA", alpha);
        }
        break;
      default:
        break;
    }
  }

  // The layout the rows are written in: the one that holds the model, or, when this system's
  // encoder takes another, the one it takes (colour for CMYK or gray it cannot store; colour
  // without alpha where it stores none). Rows of 16-bit samples keep 16 bits in a PNG or TIFF,
  // as colour where the encoder has no 16-bit gray; elsewhere, or where the encoder cannot store
  // them so that they come back, they are rounded to 8 bits. A format that the encoder answers
  // with and that is none of the converter's layouts is never written.
  Layout negotiateLayout() {
    exchange_ = false;
    if (bitsPerSample_ == 16 && (format_ == PictureFormat::Png || format_ == PictureFormat::Tiff)) {
      const ColorModel colour = hasAlpha(model_) ? ColorModel::Rgba : ColorModel::Rgb;
      for (Layout offered : {layoutFor(model_, 16), layoutFor(colour, 16)}) {
        GUID format = pixelFormatOf(offered);
        check(frame_->SetPixelFormat(&format));
        if (layoutOf(format) == offered) {
          const DeepSamples stored = deepSamplesOf(format_, offered);
          if (stored != DeepSamples::Lost) {
            exchange_ = stored == DeepSamples::Exchanged;
            return offered;
          }
        }
      }
    }
    for (Layout offered : {layoutFor(model_), hasAlpha(model_) ? bgra32 : bgr24}) {
      GUID format = pixelFormatOf(offered);
      check(frame_->SetPixelFormat(&format));
      const std::optional<Layout> taken = layoutOf(format);
      if (taken && taken->bitsPerSample == 8 &&
          (taken->model == ColorModel::Cmyk) == (model_ == ColorModel::Cmyk)) {
        return *taken;
      }
    }
    throw std::runtime_error("the " + nameOf(format_) +
                             " encoder takes none of the converter's pixel layouts");
  }

  // A palette source's result is written as indexes of as many bits as the source's (1, 2, 4 or
  // 8; 2 for a 1-bit source with transparency, which needs a third entry), or of 8 bits where the
  // encoder takes no fewer. False where it takes no indexes at all: the result is then colour.
  bool negotiateIndexes(const EncodedRows& result) {
    int bits = 1;
    while (bits < 8 && bits < result.hints.paletteBits) {
      bits *= 2;
    }
    if (bits == 1 && hasAlpha(model_)) {
      bits = 2;
    }
    paletteColors_ = 1U << bits;
    for (int offered : {bits, 8}) {
      GUID format = indexedFormatOf(offered);
      check(frame_->SetPixelFormat(&format));
      indexBits_ = indexBitsOf(format);
      if (indexBits_ >= offered) {
        return true;
      }
    }
    return false;
  }

  void writeIndexes() {
    check(frame_->SetPalette(&indexed_->makePalette(paletteColors_)));
    const std::size_t rowBytes = (std::size_t{size_.width} * indexBits_ + 7) / 8;
    stripRows_ = static_cast<std::uint32_t>(
        std::clamp<std::size_t>(stripBytes / size_.width, 1, std::max(size_.height, 1U)));
    std::vector<std::uint8_t> indexes(std::size_t{size_.width} * stripRows_);
    strip_.resize(rowBytes * stripRows_);
    for (std::uint32_t y = 0; y < size_.height; y += stripRows_) {
      const std::uint32_t rows = std::min(stripRows_, size_.height - y);
      indexed_->copyIndexes(y, rows, indexes.data());
      for (std::uint32_t i = 0; i < rows; ++i) {
        packIndexes(indexes.data() + std::size_t{size_.width} * i, size_.width, indexBits_,
                    strip_.data() + rowBytes * i);
      }
      check(frame_->WritePixels(rows, static_cast<UINT>(rowBytes),
                                static_cast<UINT>(rowBytes * rows), strip_.data()));
    }
  }

  std::size_t stride() const { return std::size_t{size_.width} * layout_.bytesPerPixel(); }

  void flush() {
    if (held_ > 0) {
      check(frame_->WritePixels(held_, static_cast<UINT>(stride()),
                                static_cast<UINT>(std::size_t{held_} * stride()), strip_.data()));
      held_ = 0;
    }
  }

  PictureFormat format_;
  ComPtr<IWICBitmapEncoder> encoder_;
  ComPtr<ByteStream> stream_;
  ComPtr<IWICBitmapFrameEncode> frame_;
  PixelSize size_;
  ColorModel model_ = ColorModel::Rgb;
  int bitsPerSample_ = 8;  // of the rows given
  Layout layout_ = bgr24;
  bool exchange_ = false;  // whether the encoder takes each 16-bit sample's bytes exchanged
  std::vector<std::uint8_t> strip_;
  std::uint32_t stripRows_ = 1;
  std::uint32_t held_ = 0;
  std::optional<IndexedPixels> indexed_;  // the rows of a palette result
  int indexBits_ = 8;
  unsigned paletteColors_ = 256;
};

}  // namespace

std::unique_ptr<Encoder> wicEncoder(PictureFormat format) {
  return std::make_unique<WicEncoder>(format);
}

}  // namespace karvelo::converter::wic
