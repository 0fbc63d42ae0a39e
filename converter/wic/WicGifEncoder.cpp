// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/metadata/FormatMetadata.h"
#include "converter/wic/ByteStream.h"
#include "converter/wic/Wic.h"
#include "converter/wic/WicPalette.h"

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
// first (see IndexedPixels); pixels less than half opaque become the one transparent entry.
class WicGifEncoder final : public Encoder {
 public:
  WicGifEncoder() : encoder_(createEncoder(PictureFormat::Gif)) {}

  void start(const EncodedRows& result, ByteSink& sink) override {
    if (result.model != ColorModel::Rgba) {
      throw std::logic_error("GIF pictures are made from RGBA pixels");
    }
    size_ = result.size;
    sink_ = &sink;
    pixels_.emplace(size_);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    pixels_->addRow(row, ColorModel::Rgba);
  }

  void finish() override {
    IWICPalette& palette = pixels_->makePalette(256);
    std::optional<HeadRewriter> marked;
    if (pixels_->transparent()) {
      marked.emplace(*sink_, gifHeadLength,
                     [clear = pixels_->transparentIndex()](std::span<const std::uint8_t> head) {
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
    check(frame->SetPalette(&palette));

    std::vector<std::uint8_t> strip(std::size_t{size_.width} * stripRows);
    for (std::uint32_t y = 0; y < size_.height; y += stripRows) {
      const std::uint32_t rows = std::min(stripRows, size_.height - y);
      pixels_->copyIndexes(y, rows, strip.data());
      const auto bytes = static_cast<UINT>(std::size_t{size_.width} * rows);
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
  ByteSink* sink_ = nullptr;
  PixelSize size_;
  std::optional<IndexedPixels> pixels_;
};

}  // namespace

std::unique_ptr<Encoder> wicGifEncoder() { return std::make_unique<WicGifEncoder>(); }

}  // namespace karvelo::converter::wic
