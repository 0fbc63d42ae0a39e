// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/wic/ByteStream.h"
#include "converter/wic/Wic.h"
#include "converter/wic/WicPalette.h"
#include "converter/wic/WicPixels.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace karvelo::converter::wic {

namespace {

constexpr std::uint8_t imageDescriptor = 0x2C;
constexpr std::uint8_t extension = 0x21;
constexpr std::uint8_t graphicControl = 0xF9;
constexpr std::uint8_t application = 0xFF;
constexpr std::uint8_t trailer = 0x3B;
constexpr std::uint32_t stripRows = 256;

// The bytes of a colour table that a descriptor's flags announce (0 for none).
std::size_t colorTableBytes(std::uint8_t flags) {
  return (flags & 0x80) != 0 ? 3u << ((flags & 7) + 1) : 0;
}

// The image of a GIF file of one frame, as it goes into an animation: its descriptor, always with
// a colour table of its own (the file's global one where it had none), and its compressed data.
std::vector<std::uint8_t> imageOf(std::span<const std::uint8_t> gif) {
  const auto cut = [] {
    throw std::runtime_error("the GIF encoder wrote no image that can be read");
  };
  if (gif.size() < 13 || gif.size() < 13 + colorTableBytes(gif[10])) {
    cut();
  }
  const std::uint8_t screenFlags = gif[10];
  const std::span<const std::uint8_t> global = gif.subspan(13, colorTableBytes(screenFlags));
  std::size_t pos = 13 + global.size();
  // The sub-blocks that follow `pos`, up to and with their terminator.
  const auto subBlocks = [&] {
    while (pos < gif.size() && gif[pos] != 0) {
      pos += 1 + gif[pos];
    }
    if (pos++ >= gif.size()) {
      cut();
    }
  };
  while (pos + 1 < gif.size() && gif[pos] == extension) {
    pos += 2;
    subBlocks();
  }
  if (pos + 10 > gif.size() || gif[pos] != imageDescriptor) {
    cut();
  }
  const std::uint8_t flags = gif[pos + 9];
  const std::size_t table = pos + 10;
  const std::size_t data = table + colorTableBytes(flags);
  pos = data + 1;  // past the LZW code size
  subBlocks();
  const std::span<const std::uint8_t> ownTable = gif.subspan(table, data - table);
  if (ownTable.empty() && global.empty()) {
    cut();
  }
  std::vector<std::uint8_t> image(gif.begin() + static_cast<std::ptrdiff_t>(table - 10),
                                  gif.begin() + static_cast<std::ptrdiff_t>(table - 1));
  image.reserve(10 + std::max(ownTable.size(), global.size()) + (pos - data));
  if (ownTable.empty()) {
    image.push_back(static_cast<std::uint8_t>((flags & 0x40) | 0x80 | (screenFlags & 7)));
    image.insert(image.end(), global.begin(), global.end());
  } else {
    image.push_back(flags);
    image.insert(image.end(), ownTable.begin(), ownTable.end());
  }
  image.insert(image.end(), gif.begin() + static_cast<std::ptrdiff_t>(data),
               gif.begin() + static_cast<std::ptrdiff_t>(pos));
  return image;
}

void putLittleEndian16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// A GIF frame needs one palette for all its pixels, so its rows are gathered first (see
// IndexedPixels); pixels less than half opaque become the one transparent entry. Each frame of an
// animation gets a palette of its own and is encoded by the component alone, into memory; its
// image is then written into the file behind the blocks that say how it shows, which are written
// here: the screen and the loop count before the first frame, and each frame's graphic control
// extension (delay, disposal, transparent entry). Encoders differ in which of these their
// metadata writers take (Wine's takes none, and marks no transparent entry), so the file says
// the same whatever system wrote it.
class WicGifEncoder final : public Encoder {
 public:
  // A system without a GIF encoder is known before anything is decoded.
  WicGifEncoder() : encoder_(createEncoder(PictureFormat::Gif)) {}

  void start(const EncodedRows& result, ByteSink& sink) override {
    if (result.model != ColorModel::Rgba) {
      throw std::logic_error("GIF pictures are made from RGBA pixels");
    }
    result_ = result;
    sink_ = &sink;
    pixels_.emplace(result_.size);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    if (result_.bitsPerSample == 16) {
      narrowed_.resize(row.size() / 2);
      convertRow(rgba64, row.data(), {ColorModel::Rgba}, narrowed_.data(), result_.size.width);
      row = narrowed_;
    }
    pixels_->addRow(row, ColorModel::Rgba);
  }

  void nextFrame(const EncodedRows& frame) override {
    writeFrame();
    result_.timing = frame.timing;
    pixels_.reset();
    pixels_.emplace(result_.size);
  }

  void finish() override {
    writeFrame();
    sink_->append(std::span(&trailer, 1));
  }

 private:
  void writeFrame() {
    const std::vector<std::uint8_t> image = imageOf(encodeAlone());
    std::vector<std::uint8_t> blocks;
    const bool animated = result_.frames > 1;
    if (first_) {
      first_ = false;
      blocks.assign({'G', 'I', 'F', '8', '9', 'a'});
      putLittleEndian16(blocks, result_.size.width);
      putLittleEndian16(blocks, result_.size.height);
      blocks.insert(blocks.end(), {0x70, 0, 0});  // 8 bits of colour, no global table
      if (animated && result_.loops) {
        const std::string netscape = "NETSCAPE2.0";
        blocks.insert(blocks.end(), {extension, application, 11});
        blocks.insert(blocks.end(), netscape.begin(), netscape.end());
        blocks.insert(blocks.end(), {3, 1});
        putLittleEndian16(blocks, std::min<std::uint32_t>(*result_.loops, 0xFFFF));
        blocks.push_back(0);
      }
    }
    if (animated || pixels_->transparent()) {
      const auto disposal = static_cast<std::uint8_t>(std::clamp(result_.timing.disposal, 0, 7));
      blocks.insert(blocks.end(),
                    {extension, graphicControl, 4,
                     static_cast<std::uint8_t>(disposal << 2 | (pixels_->transparent() ? 1 : 0))});
      putLittleEndian16(blocks, std::min<std::uint32_t>((result_.timing.delayMs + 5) / 10, 0xFFFF));
      blocks.push_back(pixels_->transparent() ? pixels_->transparentIndex() : 0);
      blocks.push_back(0);
    }
    sink_->append(blocks);
    sink_->append(image);
  }

  // The gathered frame as a GIF file of its own.
  std::vector<std::uint8_t> encodeAlone() {
    const PixelSize size = result_.size;
    IWICPalette& palette = pixels_->makePalette(256);
    MemorySink file;
    const ComPtr<IWICBitmapEncoder> encoder =
        encoder_ ? std::exchange(encoder_, nullptr) : createEncoder(PictureFormat::Gif);
    ComPtr<ByteStream> stream;
    stream.Attach(new ByteStream(file));
    const auto check = [&](HRESULT result) {
      if (FAILED(result)) {
        stream->rethrowFailure();
        throw std::runtime_error("the GIF encoder failed (" + hex(result) + ")");
      }
    };
    check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache));
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    check(encoder->CreateNewFrame(&frame, &options));
    check(frame->Initialize(options.Get()));
    check(frame->SetSize(size.width, size.height));
    GUID format = GUID_WICPixelFormat8bppIndexed;
    check(frame->SetPixelFormat(&format));
    if (!IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed)) {
      throw std::runtime_error("the GIF encoder takes no 8-bit palette pixels");
    }
    check(frame->SetPalette(&palette));
    std::vector<std::uint8_t> strip(std::size_t{size.width} * stripRows);
    for (std::uint32_t y = 0; y < size.height; y += stripRows) {
      const std::uint32_t rows = std::min(stripRows, size.height - y);
      pixels_->copyIndexes(y, rows, strip.data());
      const auto bytes = static_cast<UINT>(std::size_t{size.width} * rows);
      check(frame->WritePixels(rows, size.width, bytes, strip.data()));
    }
    check(frame->Commit());
    check(encoder->Commit());
    return file.take();
  }

  EncodedRows result_;
  ByteSink* sink_ = nullptr;
  ComPtr<IWICBitmapEncoder> encoder_;    // the first frame's
  std::optional<IndexedPixels> pixels_;  // the frame being gathered
  std::vector<std::uint8_t> narrowed_;  // a row of 16-bit samples rounded to 8
  bool first_ = true;
};

}  // namespace

std::unique_ptr<Encoder> wicGifEncoder() { return std::make_unique<WicGifEncoder>(); }

}  // namespace karvelo::converter::wic
