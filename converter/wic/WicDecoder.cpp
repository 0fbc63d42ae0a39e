// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/metadata/Headers.h"
#include "converter/wic/ByteStream.h"
#include "converter/wic/Wic.h"
#include "converter/wic/WicPalette.h"
#include "converter/wic/WicPixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace karvelo::converter::wic {

namespace {

// Reading at a reduced scale while decoding: the JPEG decoder's scaled inverse DCT. MinGW's
// headers do not declare this interface of the imaging component.
const IID iidSourceTransform = {
    0x3B16811B, 0x6A43, 0x4ec9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};

struct SourceTransform : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* area, UINT width, UINT height,
                                               WICPixelFormatGUID* format,
                                               WICBitmapTransformOptions transform, UINT stride,
                                               UINT bufferSize, BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                         BOOL* supported) = 0;
};

// Rows read from the component at a time: enough to make each call worth it, little memory.
constexpr std::size_t stripBytes = 1 << 20;

bool isGray(const GUID& format) {
  for (const GUID& gray :
       {GUID_WICPixelFormatBlackWhite, GUID_WICPixelFormat2bppGray, GUID_WICPixelFormat4bppGray,
        GUID_WICPixelFormat8bppGray, GUID_WICPixelFormat16bppGray,
        GUID_WICPixelFormat16bppGrayFixedPoint, GUID_WICPixelFormat16bppGrayHalf,
        GUID_WICPixelFormat32bppGrayFloat, GUID_WICPixelFormat32bppGrayFixedPoint}) {
    if (IsEqualGUID(format, gray)) {
      return true;
    }
  }
  return false;
}

class WicDecoder final : public Decoder {
 public:
  WicDecoder(PictureFormat format, const ByteSource& source) : format_(format), source_(source) {}

  DecodedRows start(PixelSize atLeast) override {
    stream_.Attach(new ByteStream(source_));
    if (FAILED(factory().CreateDecoder(containerOf(format_), nullptr, &decoder_))) {
      throw ConversionError(ExitCode::UnsupportedFormat, missingCodec(format_, "decoder"));
    }
    check(decoder_->Initialize(stream_.Get(), WICDecodeMetadataCacheOnDemand));
    check(decoder_->GetFrame(0, &frame_));
    UINT width = 0;
    UINT height = 0;
    check(frame_->GetSize(&width, &height));
    GUID native{};
    check(frame_->GetPixelFormat(&native));
    if (width == 0 || height == 0) {
      damagedPicture("the " + nameOf(format_) + " picture has no pixels");
    }
    frameSize_ = {width, height};

    const PictureHeaders headers = readHeaders(format_, source_);
    DecodedRows rows;
    rows.size = frameSize_;
    rows.model = modelOf(native);
    rows.hints = headers.hints;
    // Palette pictures give palette results where the format has them as well.
    if (format_ == PictureFormat::Png || format_ == PictureFormat::Bmp ||
        format_ == PictureFormat::Gif) {
      rows.hints.paletteBits = indexBitsOf(native);
    }
    if (format_ == PictureFormat::Gif) {
      // The first frame is painted onto the logical screen; the rest of the screen is clear.
      rows.size = headers.size;
      placeFrame();
    } else if (format_ == PictureFormat::Jpeg) {
      startScaled(native, atLeast, rows);
    }
    // A reduced decode that cannot deliver its first rows gives way to the whole one.
    if (transform_ && FAILED(readStrip(0))) {
      transform_.Reset();
      rows.size = frameSize_;
      rows.scaleX = rows.scaleY = 1.0;
    }
    if (!transform_) {
      startWhole(native, rows.model);
    }
    model_ = rows.model;
    width_ = rows.size.width;
    return rows;
  }

  void readRow(std::span<std::uint8_t> row) override {
    const long frameRow = static_cast<long>(row_++) - top_;
    if (frameRow < 0 || frameRow >= static_cast<long>(decoded_.height)) {
      std::fill(row.begin(), row.end(), 0);
      return;
    }
    const auto y = static_cast<std::uint32_t>(frameRow);
    if (y < stripFirst_ || y >= stripFirst_ + stripCount_) {
      check(readStrip(y));
    }
    const std::uint8_t* line = strip_.data() + std::size_t{y - stripFirst_} * stride();
    if (left_ == 0 && decoded_.width == width_) {
      convertRow(layout_, line, {model_}, row.data(), width_);
      return;
    }
    // A frame placed on a larger screen: only its part on the screen is copied.
    std::fill(row.begin(), row.end(), 0);
    const long first = std::max(0L, -left_);
    const long last = std::min<long>(decoded_.width, static_cast<long>(width_) - left_);
    if (first < last) {
      convertRow(layout_, line + first * layout_.bytesPerPixel(), {model_},
                 row.data() + (left_ + first) * channelsOf(model_),
                 static_cast<std::uint32_t>(last - first));
    }
  }

 private:
  // A picture that the component cannot turn into any pixels it offers is of a kind not read
  // here; any other failure, once the headers were read, means damaged data.
  void check(HRESULT result) const {
    if (FAILED(result)) {
      stream_->rethrowFailure();
      if (result == WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT ||
          result == WINCODEC_ERR_UNSUPPORTEDOPERATION) {
        throw ConversionError(ExitCode::UnsupportedFormat, "this kind of " + nameOf(format_) +
                                                               " picture cannot be read here (" +
                                                               hex(result) + ")");
      }
      damagedPicture("the " + nameOf(format_) + " data cannot be decoded (" + hex(result) + ")");
    }
  }

  // The colour model that the rows are delivered in, as near to the stored pixels as the same
  // format's encoder can write back. CMYK that this system cannot write faithfully is delivered
  // as colour, and its CMYK profile is then dropped with it.
  ColorModel modelOf(const GUID& native) const {
    if (format_ == PictureFormat::Gif) {
      return ColorModel::Rgba;
    }
    if (IsEqualGUID(native, GUID_WICPixelFormat32bppCMYK)) {
      return keepsCmyk(format_) ? ColorModel::Cmyk : ColorModel::Rgb;
    }
    if (isGray(native)) {
      return ColorModel::Gray;
    }
    return hasTransparency(native) ? ColorModel::Rgba : ColorModel::Rgb;
  }

  bool hasTransparency(const GUID& native) const {
    BOOL transparent = FALSE;
    if (indexBitsOf(native) > 0) {
      ComPtr<IWICPalette> palette;
      return SUCCEEDED(factory().CreatePalette(&palette)) &&
             SUCCEEDED(frame_->CopyPalette(palette.Get())) &&
             SUCCEEDED(palette->HasAlpha(&transparent)) && transparent;
    }
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo2> pixelInfo;
    return SUCCEEDED(factory().CreateComponentInfo(native, &info)) &&
           SUCCEEDED(info.As(&pixelInfo)) &&
           SUCCEEDED(pixelInfo->SupportsTransparency(&transparent)) && transparent;
  }

  // A GIF frame's place on the screen, from its image descriptor.
  void placeFrame() {
    ComPtr<IWICMetadataQueryReader> query;
    if (FAILED(frame_->GetMetadataQueryReader(&query))) {
      return;
    }
    const auto number = [&](const wchar_t* name) {
      PROPVARIANT value;
      ::PropVariantInit(&value);
      long result = 0;
      if (SUCCEEDED(query->GetMetadataByName(name, &value)) && value.vt == VT_UI2) {
        result = value.uiVal;
      }
      clear(value);
      return result;
    };
    left_ = number(L"/imgdesc/Left");
    top_ = number(L"/imgdesc/Top");
  }

  // Reads the frame through the decoder's own scaling when it has one and a reduction keeps at
  // least `atLeast`: the largest such reduction of 1/2, 1/4 and 1/8.
  void startScaled(const GUID& native, PixelSize atLeast, DecodedRows& rows) {
    const std::optional<Layout> layout = layoutOf(native);
    ComPtr<IUnknown> unknown;
    if (!layout || FAILED(frame_->QueryInterface(iidSourceTransform, &unknown))) {
      return;
    }
    auto* transform = static_cast<SourceTransform*>(unknown.Get());
    for (int shift = 3; shift >= 1; --shift) {
      const std::uint32_t denominator = 1U << shift;
      UINT width = (frameSize_.width + denominator - 1) / denominator;
      UINT height = (frameSize_.height + denominator - 1) / denominator;
      if (width < atLeast.width || height < atLeast.height ||
          FAILED(transform->GetClosestSize(&width, &height)) || width < atLeast.width ||
          height < atLeast.height || width >= frameSize_.width || height >= frameSize_.height) {
        continue;
      }
      transform_ = unknown;
      native_ = native;
      setPixels(*layout, {width, height});
      rows.size = decoded_;
      rows.scaleX = scaleOf(frameSize_.width, width);
      rows.scaleY = scaleOf(frameSize_.height, height);
      return;
    }
  }

  // The scale of a reduced side: the power of two that gives it, rounded up as the DCT scaling
  // rounds, else the plain ratio.
  static double scaleOf(std::uint32_t stored, std::uint32_t reduced) {
    for (std::uint32_t denominator = 2; denominator <= 8; denominator *= 2) {
      if ((stored + denominator - 1) / denominator == reduced) {
        return 1.0 / denominator;
      }
    }
    return static_cast<double>(reduced) / stored;
  }

  // Reads the frame as stored, through a format converter unless its pixels are already in a
  // layout the rows are made from.
  void startWhole(const GUID& native, ColorModel model) {
    const std::optional<Layout> layout = layoutOf(native);
    if (layout && (model == ColorModel::Cmyk) == (*layout == cmyk32)) {
      pixels_ = frame_;
      setPixels(*layout, frameSize_);
      return;
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory().CreateFormatConverter(&converter))) {
      throw std::runtime_error("the imaging component has no format converter");
    }
    check(converter->Initialize(frame_.Get(), pixelFormatOf(bgra32), WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeCustom));
    pixels_ = converter;
    setPixels(bgra32, frameSize_);
  }

  void setPixels(Layout layout, PixelSize size) {
    layout_ = layout;
    decoded_ = size;
    stripRows_ = static_cast<std::uint32_t>(
        std::clamp<std::size_t>(stripBytes / stride(), 1, decoded_.height));
    strip_.resize(std::size_t{stripRows_} * stride());
    stripCount_ = 0;
  }

  std::size_t stride() const { return std::size_t{decoded_.width} * layout_.bytesPerPixel(); }

  HRESULT readStrip(std::uint32_t first) {
    stripFirst_ = first;
    stripCount_ = std::min(stripRows_, decoded_.height - first);
    const WICRect area{0, static_cast<INT>(first), static_cast<INT>(decoded_.width),
                       static_cast<INT>(stripCount_)};
    const auto bytes = static_cast<UINT>(std::size_t{stripCount_} * stride());
    const HRESULT result =
        transform_ ? static_cast<SourceTransform*>(transform_.Get())
                         ->CopyPixels(&area, decoded_.width, decoded_.height, &native_,
                                      WICBitmapTransformRotate0, static_cast<UINT>(stride()), bytes,
                                      strip_.data())
                   : pixels_->CopyPixels(&area, static_cast<UINT>(stride()), bytes, strip_.data());
    if (FAILED(result)) {
      stripCount_ = 0;
    }
    return result;
  }

  PictureFormat format_;
  const ByteSource& source_;
  ComPtr<ByteStream> stream_;
  ComPtr<IWICBitmapDecoder> decoder_;
  ComPtr<IWICBitmapFrameDecode> frame_;
  ComPtr<IWICBitmapSource> pixels_;
  ComPtr<IUnknown> transform_;  // a SourceTransform, when reading at a reduced scale
  GUID native_{};
  Layout layout_ = bgra32;
  ColorModel model_ = ColorModel::Rgb;
  PixelSize frameSize_;
  PixelSize decoded_;
  std::uint32_t width_ = 0;  // of a delivered row
  long left_ = 0;
  long top_ = 0;
  std::vector<std::uint8_t> strip_;
  std::uint32_t stripRows_ = 1;
  std::uint32_t stripFirst_ = 0;
  std::uint32_t stripCount_ = 0;
  std::uint32_t row_ = 0;
};

}  // namespace

std::unique_ptr<Decoder> wicDecoder(PictureFormat format, const ByteSource& source) {
  return std::make_unique<WicDecoder>(format, source);
}

}  // namespace karvelo::converter::wic
