// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/metadata/FormatMetadata.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace karvelo::converter {

namespace {

constexpr std::size_t riffHeader = 12;
constexpr std::size_t chunkHeader = 8;
constexpr std::uint8_t flagIcc = 0x20;
constexpr std::uint8_t flagAlpha = 0x10;
constexpr std::uint8_t flagExif = 0x08;
constexpr std::uint8_t flagXmp = 0x04;
constexpr std::uint8_t flagAnimation = 0x02;

bool isChunk(const std::uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

void putLittle(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

void appendChunk(std::vector<std::uint8_t>& out, const char* type,
                 std::span<const std::uint8_t> data) {
  out.insert(out.end(), type, type + 4);
  putLittle(out, static_cast<std::uint32_t>(data.size()), 4);
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() % 2 != 0) {
    out.push_back(0);
  }
}

struct Canvas {
  PixelSize size;
  bool alpha = false;
};

// The size a VP8 or VP8L bitstream declares, from its first bytes.
std::optional<Canvas> bitstreamCanvas(const std::uint8_t* type,
                                      std::span<const std::uint8_t> data) {
  if (isChunk(type, "VP8 ") && data.size() >= 10 && data[3] == 0x9D && data[4] == 0x01 &&
      data[5] == 0x2A) {
    return Canvas{{littleEndian16(&data[6]) & 0x3FFF, littleEndian16(&data[8]) & 0x3FFF}, false};
  }
  if (isChunk(type, "VP8L") && data.size() >= 5 && data[0] == 0x2F) {
    const std::uint32_t bits = littleEndian32(&data[1]);
    return Canvas{{(bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1}, ((bits >> 28) & 1) != 0};
  }
  return std::nullopt;
}

}  // namespace

PictureHeaders readWebpHeaders(const ByteSource& source) {
  PictureHeaders headers;
  bool sized = false;
  bool animated = false;
  std::uint32_t frames = 0;
  for (std::uint64_t pos = riffHeader; pos + chunkHeader <= source.size();) {
    std::uint8_t head[chunkHeader + 10];
    const std::size_t got = source.readAt(pos, head, sizeof head);
    const std::uint32_t length = littleEndian32(head + 4);
    const std::span<const std::uint8_t> start(head + chunkHeader, got - chunkHeader);
    if (isChunk(head, "VP8X") && got >= chunkHeader + 10) {
      animated = (head[chunkHeader] & flagAnimation) != 0;
      headers.size = {(littleEndian16(head + 12) | (std::uint32_t{head[14]} << 16)) + 1,
                      (littleEndian16(head + 15) | (std::uint32_t{head[17]} << 16)) + 1};
      sized = true;
    } else if (isChunk(head, "ANMF")) {
      ++frames;
    } else if (const auto canvas = bitstreamCanvas(head, start); canvas && !sized) {
      headers.size = canvas->size;
      sized = true;
    } else if (isChunk(head, "ICCP") && length <= maxMetadataBytes) {
      headers.metadata.icc = source.read(pos + chunkHeader, length);
    } else if (isChunk(head, "XMP ") && headers.metadata.xmp.empty() &&
               roomFor(headers.metadata, length)) {
      headers.metadata.xmp = source.read(pos + chunkHeader, length);
    } else if (isChunk(head, "EXIF") && length <= maxMetadataBytes) {
      headers.metadata.exif = source.read(pos + chunkHeader, length);
      // Some writers keep the JPEG-style header in front of the TIFF structure.
      const std::vector<std::uint8_t>& exif = headers.metadata.exif;
      if (exif.size() > 6 && std::equal(exif.begin(), exif.begin() + 6, "Exif\0\0")) {
        headers.metadata.exif.erase(headers.metadata.exif.begin(),
                                    headers.metadata.exif.begin() + 6);
      }
    }
    pos += chunkHeader + std::uint64_t{length} + (length % 2);
  }
  if (!sized) {
    damagedPicture("the WebP headers cannot be read");
  }
  if (animated) {
    // Every frame is composed onto the whole canvas before it is resized.
    headers.frames = std::max<std::uint32_t>(frames, 1);
    headers.allPixels = headers.size.area() * headers.frames;
  }
  headers.metadata.orientation = orientationOf(headers.metadata.exif);
  return headers;
}

namespace {

// Turns the encoder's simple or extended file into an extended one that declares the metadata:
// the head is the RIFF header and the first chunk's header with the bitstream's size fields (or
// the whole VP8X chunk); the ICC profile follows the VP8X chunk, the EXIF data and the XMP packet
// go last.
class WebpMetadataWriter final : public HeadRewriter {
 public:
  WebpMetadataWriter(ByteSink& file, const Metadata& metadata)
      : HeadRewriter(file, headLength,
                     [this](std::span<const std::uint8_t> head) { return rewrite(head); }),
        metadata_(metadata) {}

  void finish() override {
    HeadRewriter::finish();
    std::vector<std::uint8_t> tail;
    if (!metadata_.exif.empty()) {
      appendChunk(tail, "EXIF", metadata_.exif);
    }
    if (!metadata_.xmp.empty()) {
      appendChunk(tail, "XMP ", metadata_.xmp);
    }
    file_.append(tail);
    std::vector<std::uint8_t> riffSize;
    putLittle(riffSize, static_cast<std::uint32_t>(file_.size() - 8), 4);
    file_.writeAt(4, riffSize);
  }

 private:
  static std::size_t headLength(std::span<const std::uint8_t> start) {
    if (start.size() < riffHeader + chunkHeader) {
      return 0;
    }
    const std::size_t length =
        riffHeader + chunkHeader + (isChunk(&start[riffHeader], "VP8L") ? 5 : 10);
    return start.size() >= length ? length : 0;
  }

  std::vector<std::uint8_t> rewrite(std::span<const std::uint8_t> head) {
    std::vector<std::uint8_t> out(head.begin(), head.begin() + riffHeader);
    const std::uint8_t* type = &head[riffHeader];
    const std::span<const std::uint8_t> first = head.subspan(riffHeader);
    std::uint8_t flags = 0;
    std::vector<std::uint8_t> vp8x;
    if (isChunk(type, "VP8X")) {
      flags = head[riffHeader + chunkHeader];
      vp8x.assign(first.begin() + chunkHeader, first.end());
    } else if (const auto canvas = bitstreamCanvas(type, first.subspan(chunkHeader))) {
      flags = canvas->alpha ? flagAlpha : 0;
      vp8x.assign(10, 0);
      const std::uint32_t width = canvas->size.width - 1;
      const std::uint32_t height = canvas->size.height - 1;
      for (int i = 0; i < 3; ++i) {
        vp8x[4 + i] = static_cast<std::uint8_t>(width >> (8 * i));
        vp8x[7 + i] = static_cast<std::uint8_t>(height >> (8 * i));
      }
    } else {
      return {head.begin(), head.end()};  // not a bitstream this knows: left as it is
    }
    vp8x[0] = static_cast<std::uint8_t>(flags | (metadata_.icc.empty() ? 0 : flagIcc) |
                                        (metadata_.exif.empty() ? 0 : flagExif) |
                                        (metadata_.xmp.empty() ? 0 : flagXmp));
    appendChunk(out, "VP8X", vp8x);
    if (!metadata_.icc.empty()) {
      appendChunk(out, "ICCP", metadata_.icc);
    }
    if (!isChunk(type, "VP8X")) {
      out.insert(out.end(), first.begin(), first.end());
    }
    return out;
  }

  Metadata metadata_;
};

}  // namespace

std::unique_ptr<MetadataWriter> webpMetadataWriter(ByteSink& file, const Metadata& metadata) {
  return std::make_unique<WebpMetadataWriter>(file, metadata);
}

}  // namespace karvelo::converter
