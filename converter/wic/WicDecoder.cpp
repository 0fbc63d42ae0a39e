// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/engine/FrameCanvas.h"
#include "converter/metadata/FormatMetadata.h"
#include "converter/metadata/Headers.h"
#include "converter/wic/ByteStream.h"
#include "converter/wic/Wic.h"
#include "converter/wic/WicPalette.h"
#include "converter/wic/WicPixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

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

// One frame of a GIF file as a file of its own: the head (header, screen and global colour
// table), the frame's blocks, and the trailer. Some decoders (Wine's) decode every frame of a file
// as they open it, which would hold a long animation whole; opened a frame at a time, a GIF takes
// the memory of one frame.
class GifFrameSource final : public ByteSource {
 public:
  GifFrameSource(const ByteSource& file, std::uint64_t headLength, GifFrameBlocks blocks)
      : file_(file), headLength_(headLength), blocks_(blocks) {}

  std::uint64_t size() const override { return headLength_ + blocksLength() + 1; }

  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const override {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < length && offset < size()) {
      const std::size_t wanted = length - done;
      std::size_t got = 0;
      if (offset < headLength_) {
        got = file_.readAt(
            offset, out + done,
            static_cast<std::size_t>(std::min<std::uint64_t>(wanted, headLength_ - offset)));
      } else if (offset - headLength_ < blocksLength()) {
        const std::uint64_t at = offset - headLength_;
        got = file_.readAt(
            blocks_.begin + at, out + done,
            static_cast<std::size_t>(std::min<std::uint64_t>(wanted, blocksLength() - at)));
      } else {
        out[done] = 0x3B;  // the trailer
        got = 1;
      }
      if (got == 0) {
        break;
      }
      done += got;
      offset += got;
    }
    return done;
  }

 private:
  std::uint64_t blocksLength() const { return blocks_.end - blocks_.begin; }

  const ByteSource& file_;
  std::uint64_t headLength_;
  GifFrameBlocks blocks_;
};

class WicDecoder final : public Decoder {
 public:
  WicDecoder(PictureFormat format, const ByteSource& source) : format_(format), source_(source) {}

  DecodedRows start(PixelSize atLeast) override {
    if (format_ == PictureFormat::Gif) {
      blocks_ = gifFrameBlocks(source_);
      gifHead_ = blocks_.begin;
      if (blocks_.end != 0) {
        frameSource_.emplace(source_, gifHead_, blocks_);
      }
    }
    openDecoder(frameSource_ ? *frameSource_ : source_);
    const PictureHeaders headers = readHeaders(format_, source_);
    hints_ = headers.hints;
    screen_ = headers.size;
    // A still GIF is painted onto a clear screen row by row; only an animation needs the screen
    // kept between frames.
    if (format_ == PictureFormat::Gif && gifFrameCount(source_) > 1) {
      canvas_.emplace(screen_);
    }
    selectFrame(0);
    DecodedRows rows = openFrame(atLeast);
    if (format_ == PictureFormat::Gif) {
      rows.loops = loopCount();
    }
    return rows;
  }

  void readRow(std::span<std::uint8_t> row) override {
    const std::uint32_t y = row_++;
    const long frameRow = static_cast<long>(y) - top_;
    const bool inFrame = frameRow >= 0 && frameRow < static_cast<long>(decoded_.height);
    const std::uint8_t* line = inFrame ? fetch(static_cast<std::uint32_t>(frameRow)) : nullptr;
    if (canvas_) {
      if (line != nullptr) {
        frameRow_.resize(std::size_t{decoded_.width} * 4);
        convertRow(layout_, line, {ColorModel::Rgba}, frameRow_.data(), decoded_.width);
      }
      canvas_->composeRow(y, line != nullptr ? std::span(frameRow_) : std::span<std::uint8_t>(),
                          row);
      return;
    }
    if (line == nullptr) {
      std::fill(row.begin(), row.end(), 0);
      return;
    }
    if (left_ == 0 && decoded_.width == width_) {
      convertRow(layout_, line, delivered(), row.data(), width_);
      return;
    }
    // A frame placed on a larger screen: only its part on the screen is copied.
    std::fill(row.begin(), row.end(), 0);
    const long first = std::max(0L, -left_);
    const long last = std::min<long>(decoded_.width, static_cast<long>(width_) - left_);
    if (first < last) {
      convertRow(layout_, line + first * layout_.bytesPerPixel(), delivered(),
                 row.data() + (left_ + first) * delivered().bytesPerPixel(),
                 static_cast<std::uint32_t>(last - first));
    }
  }

  // The next frame of an animation or page of a TIFF, passing over a TIFF's reduced-resolution
  // images (thumbnails), which are no pages.
  std::optional<DecodedRows> nextFrame() override {
    if (frameSource_) {
      return nextGifFrame();
    }
    if (format_ != PictureFormat::Gif && format_ != PictureFormat::Tiff &&
        format_ != PictureFormat::Webp) {
      return std::nullopt;
    }
    for (UINT index = index_ + 1; index < frameCount_; ++index) {
      selectFrame(index);
      if (format_ == PictureFormat::Tiff && (number(L"/ifd/{ushort=254}").value_or(0) & 1) != 0) {
        continue;
      }
      if (format_ == PictureFormat::Gif && !canvas_) {
        canvas_.emplace(screen_);
      }
      return openFrame({});
    }
    return std::nullopt;
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
    if (IsEqualGUID(native, GUID_WICPixelFormat32bppCMYK) ||
        IsEqualGUID(native, GUID_WICPixelFormat64bppCMYK)) {
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

  void openDecoder(const ByteSource& file) {
    stream_.Attach(new ByteStream(file));
    if (FAILED(factory().CreateDecoder(containerOf(format_), nullptr, &decoder_))) {
      throw ConversionError(ExitCode::UnsupportedFormat, missingCodec(format_, "decoder"));
    }
    check(decoder_->Initialize(stream_.Get(), WICDecodeMetadataCacheOnDemand));
    if (FAILED(decoder_->GetFrameCount(&frameCount_)) || frameCount_ == 0) {
      frameCount_ = 1;
    }
  }

  // The next frame of a GIF, read by a decoder of its own from the frame alone.
  std::optional<DecodedRows> nextGifFrame() {
    const GifFrameBlocks next = gifFrameBlocks(source_, blocks_.end);
    if (next.end == 0) {
      return std::nullopt;
    }
    blocks_ = next;
    // The decoder and what it made go before the bytes they read.
    pixels_.Reset();
    query_.Reset();
    frame_.Reset();
    decoder_.Reset();
    stream_.Reset();
    frameSource_.emplace(source_, gifHead_, blocks_);
    openDecoder(*frameSource_);
    selectFrame(0);
    if (!canvas_) {
      canvas_.emplace(screen_);
    }
    return openFrame({});
  }

  void selectFrame(UINT index) {
    index_ = index;
    query_.Reset();
    check(decoder_->GetFrame(index, &frame_));
    if (FAILED(frame_->GetMetadataQueryReader(&query_))) {
      query_.Reset();
    }
  }

  // Starts reading the selected frame, whole, or for the first frame of a JPEG at a reduced scale
  // of at least `atLeast`.
  DecodedRows openFrame(PixelSize atLeast) {
    const UINT index = index_;
    transform_.Reset();
    pixels_.Reset();
    UINT width = 0;
    UINT height = 0;
    check(frame_->GetSize(&width, &height));
    GUID native{};
    check(frame_->GetPixelFormat(&native));
    if (width == 0 || height == 0) {
      damagedPicture("the " + nameOf(format_) + " picture has no pixels");
    }
    frameSize_ = {width, height};

    DecodedRows rows;
    rows.size = frameSize_;
    rows.model = modelOf(native);
    rows.hints = index == 0 ? hints_ : EncodingHints{};
    // Palette pictures give palette results where the format has them as well.
    if (format_ == PictureFormat::Png || format_ == PictureFormat::Bmp ||
        format_ == PictureFormat::Gif) {
      rows.hints.paletteBits = indexBitsOf(native);
    }
    if (format_ == PictureFormat::Gif) {
      // Each frame is painted onto the logical screen, or composed onto it in an animation.
      rows.size = screen_;
      rows.timing = placeFrame();
    } else if (format_ == PictureFormat::Jpeg && index == 0) {
      startScaled(native, atLeast, rows);
    } else if (format_ == PictureFormat::Tiff && index > 0) {
      // A later page has its own orientation and compression; the first page's are the file's.
      const long orientation = number(L"/ifd/{ushort=274}").value_or(1);
      rows.orientation = orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
      rows.hints.compression =
          static_cast<int>(number(L"/ifd/{ushort=259}").value_or(hints_.compression));
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
    rows.bitsPerSample = layout_.bitsPerSample;
    model_ = rows.model;
    width_ = rows.size.width;
    row_ = 0;
    return rows;
  }

  // A number that the frame's metadata holds, if it holds it as one.
  std::optional<long> number(const wchar_t* name) const {
    if (!query_) {
      return std::nullopt;
    }
    PROPVARIANT value;
    ::PropVariantInit(&value);
    std::optional<long> result;
    if (SUCCEEDED(query_->GetMetadataByName(name, &value))) {
      switch (value.vt) {
        case VT_UI1:
          result = value.bVal;
          break;
        case VT_UI2:
          result = value.uiVal;
          break;
        case VT_UI4:
          result = static_cast<long>(value.ulVal);
          break;
        default:
          break;
      }
    }
    clear(value);
    return result;
  }

  // A GIF frame's place on the screen, from its image descriptor, and how it shows, from its
  // graphic control extension; without them, a frame at the top left that shows for no time and
  // is left in place. Its transparent pixels come through the palette.
  FrameTiming placeFrame() {
    left_ = number(L"/imgdesc/Left").value_or(0);
    top_ = number(L"/imgdesc/Top").value_or(0);
    FrameTiming timing;
    timing.delayMs = static_cast<std::uint32_t>(number(L"/grctlext/Delay").value_or(0)) * 10;
    timing.disposal =
        static_cast<int>(std::clamp(number(L"/grctlext/Disposal").value_or(0), 0L, 3L));
    if (canvas_) {
      canvas_->beginFrame(
          {static_cast<std::uint32_t>(left_), static_cast<std::uint32_t>(top_),
           static_cast<std::uint32_t>(number(L"/imgdesc/Width").value_or(frameSize_.width)),
           static_cast<std::uint32_t>(number(L"/imgdesc/Height").value_or(frameSize_.height))},
          timing.disposal);
    }
    return timing;
  }

  // How often a GIF animation plays, from the application extension that browsers heed
  // (NETSCAPE2.0, or ANIMEXTS1.0): its first data sub-block is 1 and the count.
  std::optional<std::uint32_t> loopCount() const {
    ComPtr<IWICMetadataQueryReader> query;
    if (FAILED(decoder_->GetMetadataQueryReader(&query))) {
      return std::nullopt;
    }
    const auto bytes = [&](const wchar_t* name) {
      PROPVARIANT value;
      ::PropVariantInit(&value);
      std::vector<std::uint8_t> result;
      if (SUCCEEDED(query->GetMetadataByName(name, &value)) && value.vt == (VT_UI1 | VT_VECTOR)) {
        result.assign(value.caub.pElems, value.caub.pElems + value.caub.cElems);
      }
      clear(value);
      return result;
    };
    const std::vector<std::uint8_t> application = bytes(L"/appext/Application");
    const std::string name(application.begin(), application.end());
    if (name != "NETSCAPE2.0" && name != "ANIMEXTS1.0") {
      return std::nullopt;
    }
    const std::vector<std::uint8_t> data = bytes(L"/appext/Data");
    if (data.size() < 4 || data[0] < 3 || data[1] != 1) {
      return std::nullopt;
    }
    return littleEndian16(&data[2]);
  }

  // Reads the frame through the decoder's own scaling when it has one and a reduction keeps at
  // least `atLeast`: the largest such reduction of 1/2, 1/4 and 1/8.
  void startScaled(const GUID& native, PixelSize atLeast, DecodedRows& rows) {
    const std::optional<Layout> layout = layoutOf(native);
    ComPtr<IUnknown> unknown;
    if (!layout || layout->bitsPerSample != 8 ||
        FAILED(frame_->QueryInterface(iidSourceTransform, &unknown))) {
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
  // layout the rows are made from. Samples of 16 bits or more are kept at 16 where the converter
  // makes them, else narrowed to 8 by the converter.
  void startWhole(const GUID& native, ColorModel model) {
    const std::optional<Layout> layout = layoutOf(native);
    if (layout && (model == ColorModel::Cmyk) == (layout->model == ColorModel::Cmyk)) {
      pixels_ = frame_;
      setPixels(*layout, frameSize_);
      return;
    }
    // A converter may take a pair of formats that it then cannot convert: it shows when the
    // first rows are read.
    if (deepSamples(native) && SUCCEEDED(convertTo(layoutFor(model, 16))) &&
        SUCCEEDED(readStrip(0))) {
      return;
    }
    check(convertTo(bgra32));
  }

  HRESULT convertTo(Layout layout) {
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory().CreateFormatConverter(&converter))) {
      throw std::runtime_error("the imaging component has no format converter");
    }
    const HRESULT result =
        converter->Initialize(frame_.Get(), pixelFormatOf(layout), WICBitmapDitherTypeNone,
                              nullptr, 0.0, WICBitmapPaletteTypeCustom);
    if (SUCCEEDED(result)) {
      pixels_ = converter;
      setPixels(layout, frameSize_);
    }
    return result;
  }

  // Whether a pixel format has samples of 16 bits or more (fixed or floating point).
  static bool deepSamples(const GUID& native) {
    if (const std::optional<Layout> layout = layoutOf(native)) {
      return layout->bitsPerSample == 16;
    }
    ComPtr<IWICComponentInfo> info;
    ComPtr<IWICPixelFormatInfo> pixelInfo;
    UINT bits = 0;
    UINT channels = 0;
    return SUCCEEDED(factory().CreateComponentInfo(native, &info)) &&
           SUCCEEDED(info.As(&pixelInfo)) && SUCCEEDED(pixelInfo->GetBitsPerPixel(&bits)) &&
           SUCCEEDED(pixelInfo->GetChannelCount(&channels)) && channels > 0 &&
           bits / channels >= 16;
  }

  // The layout of a delivered row.
  Layout delivered() const { return {model_, false, layout_.bitsPerSample}; }

  void setPixels(Layout layout, PixelSize size) {
    layout_ = layout;
    decoded_ = size;
    stripRows_ = static_cast<std::uint32_t>(
        std::clamp<std::size_t>(stripBytes / stride(), 1, decoded_.height));
    strip_.resize(std::size_t{stripRows_} * stride());
    stripCount_ = 0;
  }

  std::size_t stride() const { return std::size_t{decoded_.width} * layout_.bytesPerPixel(); }

  // The frame's row `y` as the component delivers it, read with the strip that holds it.
  const std::uint8_t* fetch(std::uint32_t y) {
    if (y < stripFirst_ || y >= stripFirst_ + stripCount_) {
      check(readStrip(y));
    }
    return strip_.data() + std::size_t{y - stripFirst_} * stride();
  }

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
  std::uint64_t gifHead_ = 0;  // the length of a GIF's head
  GifFrameBlocks blocks_;      // of the GIF frame being read
  std::optional<GifFrameSource> frameSource_;
  ComPtr<ByteStream> stream_;
  ComPtr<IWICBitmapDecoder> decoder_;
  UINT frameCount_ = 1;
  UINT index_ = 0;  // of the frame being read
  ComPtr<IWICBitmapFrameDecode> frame_;
  ComPtr<IWICMetadataQueryReader> query_;  // the frame's metadata, where the decoder offers it
  ComPtr<IWICBitmapSource> pixels_;
  ComPtr<IUnknown> transform_;  // a SourceTransform, when reading at a reduced scale
  GUID native_{};
  Layout layout_ = bgra32;
  ColorModel model_ = ColorModel::Rgb;
  EncodingHints hints_;
  PixelSize screen_;                   // a GIF's logical screen
  std::optional<FrameCanvas> canvas_;  // an animation's screen
  std::vector<std::uint8_t> frameRow_;
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
