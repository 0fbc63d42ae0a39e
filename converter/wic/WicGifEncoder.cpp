// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/metadata/FormatMetadata.h"
#include "converter/wic/ByteStream.h"
#include "converter/wic/Wic.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace karvelo::converter::wic {

namespace {

constexpr std::uint8_t imageDescriptor = 0x2C;
constexpr std::uint8_t extension = 0x21;
constexpr std::uint8_t graphicControl = 0xF9;
constexpr std::uint32_t stripRows = 256;

// The bytes before a GIF's first image: header, screen descriptor, colour table and extensions;
// 0 while they are not all there.
std::size_t gifHeadLength(std::span<const std::uint8_t> start) {
  if (start.size() < 13) {
    return 0;
  }
  std::size_t pos = 13 + ((start[10] & 0x80) != 0 ? 3u << ((start[10] & 7) + 1) : 0);
  while (pos < start.size() && start[pos] == extension) {
    pos += 2;
    for (std::size_t length = 1; length != 0; pos += length + 1) {
      if (pos >= start.size()) {
        return 0;
      }
      length = start[pos];
    }
  }
  return pos < start.size() ? pos : 0;
}

// Marks the palette entry `index` transparent for the first image: in its graphic control
// extension, or in one added before it. The encoder may not say so itself.
std::vector<std::uint8_t> withTransparency(std::span<const std::uint8_t> head, std::uint8_t index) {
  std::vector<std::uint8_t> out(head.begin(), head.end());
  std::copy_n("89a", 3, out.begin() + 3);  // extensions need version 89a
  std::size_t pos = 13 + ((out[10] & 0x80) != 0 ? 3u << ((out[10] & 7) + 1) : 0);
  while (pos < out.size()) {
    if (out[pos + 1] == graphicControl && out[pos + 2] == 4) {
      out[pos + 3] |= 1;
      out[pos + 6] = index;
      return out;
    }
    for (pos += 2; out[pos] != 0; pos += out[pos] + 1) {
    }
    ++pos;
  }
  out.insert(out.end(), {extension, graphicControl, 4, 1, 0, 0, index, 0});
  return out;
}

// A GIF holds one palette of at most 256 colours for the whole picture, so the rows are gathered
// in a bitmap first. The imaging component makes the palette and maps the colours to it with
// error diffusion; pixels less than half opaque become the one transparent entry.
class WicGifEncoder final : public Encoder {
 public:
  WicGifEncoder() : encoder_(createEncoder(PictureFormat::Gif)) {}

  void start(const EncodedRows& result, ByteSink& sink) override {
    if (result.model != ColorModel::Rgba) {
      throw std::logic_error("GIF pictures are made from RGBA pixels");
    }
    size_ = result.size;
    sink_ = &sink;
    check(factory().CreateBitmap(size_.width, size_.height, GUID_WICPixelFormat32bppBGRA,
                                 WICBitmapCacheOnLoad, &bitmap_));
    const WICRect all{0, 0, static_cast<INT>(size_.width), static_cast<INT>(size_.height)};
    check(bitmap_->Lock(&all, WICBitmapLockWrite, &lock_));
    UINT bytes = 0;
    UINT stride = 0;
    check(lock_->GetStride(&stride));
    check(lock_->GetDataPointer(&bytes, &pixels_));
    stride_ = stride;
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    std::uint8_t* out = pixels_ + std::size_t{row_++} * stride_;
    for (std::size_t i = 0; i < row.size(); i += 4, out += 4) {
      if (row[i + 3] < 128) {
        std::fill_n(out, 4, 0);
        transparent_ = true;
      } else {
        out[0] = row[i + 2];
        out[1] = row[i + 1];
        out[2] = row[i];
        out[3] = 255;
      }
    }
  }

  void finish() override {
    lock_.Reset();
    // The opaque colours; the transparent entry is added after them.
    ComPtr<IWICPalette> opaque;
    check(factory().CreatePalette(&opaque));
    check(opaque->InitializeFromBitmap(bitmap_.Get(), transparent_ ? 255 : 256, FALSE));
    ComPtr<IWICFormatConverter> indexes;
    check(factory().CreateFormatConverter(&indexes));
    check(indexes->Initialize(bitmap_.Get(), GUID_WICPixelFormat8bppIndexed,
                              WICBitmapDitherTypeErrorDiffusion, opaque.Get(), 0.0,
                              WICBitmapPaletteTypeCustom));
    UINT count = 0;
    check(opaque->GetColorCount(&count));
    std::vector<WICColor> colors(count);
    check(opaque->GetColors(count, colors.data(), &count));
    colors.resize(count);
    const auto clear = static_cast<std::uint8_t>(count);
    if (transparent_) {
      colors.push_back(0);
    }
    ComPtr<IWICPalette> palette;
    check(factory().CreatePalette(&palette));
    check(palette->InitializeCustom(colors.data(), static_cast<UINT>(colors.size())));

    std::optional<HeadRewriter> marked;
    if (transparent_) {
      marked.emplace(*sink_, gifHeadLength, [clear](std::span<const std::uint8_t> head) {
        return withTransparency(head, clear);
      });
    }
    stream_.Attach(new ByteStream(marked ? *marked : *sink_));
    check(encoder_->Initialize(stream_.Get(), WICBitmapEncoderNoCache));
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    check(encoder_->CreateNewFrame(&frame, &options));
    check(frame->Initialize(options.Get()));
    check(frame->SetSize(size_.width, size_.height));
    GUID format = GUID_WICPixelFormat8bppIndexed;
    check(frame->SetPixelFormat(&format));
    if (!IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed)) {
      throw std::runtime_error("the GIF encoder takes no 8-bit palette pixels");
    }
    check(frame->SetPalette(palette.Get()));

    std::vector<std::uint8_t> strip(std::size_t{size_.width} * stripRows);
    std::vector<std::uint8_t> alpha(std::size_t{size_.width} * 4 * stripRows);
    for (std::uint32_t y = 0; y < size_.height; y += stripRows) {
      const std::uint32_t rows = std::min(stripRows, size_.height - y);
      const WICRect area{0, static_cast<INT>(y), static_cast<INT>(size_.width),
                         static_cast<INT>(rows)};
      const auto bytes = static_cast<UINT>(std::size_t{size_.width} * rows);
      check(indexes->CopyPixels(&area, size_.width, bytes, strip.data()));
      if (transparent_) {
        check(bitmap_->CopyPixels(&area, size_.width * 4, bytes * 4, alpha.data()));
        for (std::size_t i = 0; i < bytes; ++i) {
          if (alpha[i * 4 + 3] == 0) {
            strip[i] = clear;
          }
        }
      }
      check(frame->WritePixels(rows, size_.width, bytes, strip.data()));
    }
    check(frame->Commit());
    check(encoder_->Commit());
    if (marked) {
      marked->finish();
    }
  }

 private:
  void check(HRESULT result) const {
    if (FAILED(result)) {
      if (stream_) {
        stream_->rethrowFailure();
      }
      throw std::runtime_error("the GIF encoder failed (" + hex(result) + ")");
    }
  }

  ComPtr<IWICBitmapEncoder> encoder_;
  ComPtr<ByteStream> stream_;
  ComPtr<IWICBitmap> bitmap_;
  ComPtr<IWICBitmapLock> lock_;
  ByteSink* sink_ = nullptr;
  PixelSize size_;
  std::uint8_t* pixels_ = nullptr;
  std::size_t stride_ = 0;
  std::uint32_t row_ = 0;
  bool transparent_ = false;
};

}  // namespace

std::unique_ptr<Encoder> wicGifEncoder() { return std::make_unique<WicGifEncoder>(); }

}  // namespace karvelo::converter::wic
