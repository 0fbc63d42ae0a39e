// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/core/TargetSize.h"
#include "converter/metadata/FormatMetadata.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace karvelo::converter {

namespace {

constexpr std::size_t signatureBytes = 8;
// Deflate cannot shrink data by more than this, so compressed data this much shorter than the
// rows it must hold is cut short.
constexpr std::uint64_t maxDeflateRatio = 1032;

bool isChunk(const std::uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

bool isText(const std::uint8_t* type) {
  return isChunk(type, "tEXt") || isChunk(type, "zTXt") || isChunk(type, "iTXt");
}

constexpr std::string_view xmpKeyword{"XML:com.adobe.xmp\0", 18};

std::vector<std::uint8_t> inflated(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) {
    return out;
  }
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  int status = Z_OK;
  while (status == Z_OK && out.size() < maxMetadataBytes) {
    const std::size_t done = out.size();
    out.resize(done + 65536);
    stream.next_out = out.data() + done;
    stream.avail_out = 65536;
    status = inflate(&stream, Z_NO_FLUSH);
    out.resize(done + 65536 - stream.avail_out);
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END) {
    out.clear();  // a damaged profile is left out, not the picture refused
  }
  return out;
}

// The XMP packet of an iTXt chunk's data; nullopt for another text, empty for a damaged one.
std::optional<std::vector<std::uint8_t>> xmpOf(std::span<const std::uint8_t> data) {
  if (data.size() < xmpKeyword.size() ||
      std::memcmp(data.data(), xmpKeyword.data(), xmpKeyword.size()) != 0) {
    return std::nullopt;
  }
  // The compression flag and method, then the language tag and the translated keyword.
  std::span<const std::uint8_t> rest = data.subspan(xmpKeyword.size());
  if (rest.size() < 2 || rest[0] > 1) {
    return std::vector<std::uint8_t>{};
  }
  const bool compressed = rest[0] == 1;
  rest = rest.subspan(2);
  for (int field = 0; field < 2; ++field) {
    const auto end = std::find(rest.begin(), rest.end(), 0);
    if (end == rest.end()) {
      return std::vector<std::uint8_t>{};
    }
    rest = rest.subspan(static_cast<std::size_t>(end - rest.begin()) + 1);
  }
  if (compressed) {
    std::vector<std::uint8_t> packet = inflated(rest);
    return packet.size() <= maxCarriedMetadataBytes ? packet : std::vector<std::uint8_t>{};
  }
  return std::vector<std::uint8_t>(rest.begin(), rest.end());
}

void putBigEndian(std::uint8_t* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  }
}

std::vector<std::uint8_t> chunk(const char* type, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out(12 + data.size());
  putBigEndian(out.data(), static_cast<std::uint32_t>(data.size()));
  std::memcpy(out.data() + 4, type, 4);
  std::copy(data.begin(), data.end(), out.begin() + 8);
  putBigEndian(
      out.data() + 8 + data.size(),
      static_cast<std::uint32_t>(crc32(0, out.data() + 4, static_cast<uInt>(4 + data.size()))));
  return out;
}

}  // namespace

PictureHeaders readPngHeaders(const ByteSource& source) {
  const std::vector<std::uint8_t> head = source.read(signatureBytes, 8 + 13);
  if (head.size() < 21 || !isChunk(&head[4], "IHDR")) {
    damagedPicture("the PNG file has no image header");
  }
  PictureHeaders headers;
  headers.size = {bigEndian32(&head[8]), bigEndian32(&head[12])};
  const std::uint32_t bitDepth = head[16];
  const std::uint32_t colorType = head[17];
  const std::uint32_t channels = colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
  const std::uint64_t rowBytes = (std::uint64_t{headers.size.width} * channels * bitDepth + 7) / 8;

  std::uint64_t imageData = 0;
  for (std::uint64_t pos = signatureBytes;;) {
    std::uint8_t chunkHead[8];
    if (source.readAt(pos, chunkHead, 8) != 8) {
      break;  // cut short: the decoder tells how
    }
    const std::uint32_t length = bigEndian32(chunkHead);
    const std::uint8_t* type = chunkHead + 4;
    if (isChunk(type, "IEND") || length > 0x7FFFFFFF) {
      break;
    }
    if (isChunk(type, "IDAT")) {
      imageData += length;
    } else if (isChunk(type, "eXIf") && length <= maxMetadataBytes &&
               headers.metadata.exif.empty()) {
      headers.metadata.exif = source.read(pos + 8, length);
    } else if (isText(type) && roomFor(headers.metadata, length)) {
      std::vector<std::uint8_t> data = source.read(pos + 8, length);
      std::optional<std::vector<std::uint8_t>> xmp;
      if (isChunk(type, "iTXt") && (xmp = xmpOf(data))) {
        if (headers.metadata.xmp.empty() && roomFor(headers.metadata, xmp->size())) {
          headers.metadata.xmp = std::move(*xmp);
        }
      } else {
        data.insert(data.begin(), type, type + 4);
        headers.metadata.comments.push_back(std::move(data));
      }
    } else if (isChunk(type, "pHYs") && length == 9) {
      const std::vector<std::uint8_t> data = source.read(pos + 8, length);
      if (data.size() == 9 && bigEndian32(&data[0]) != 0 && bigEndian32(&data[4]) != 0 &&
          data[8] <= 1) {
        headers.metadata.resolution =
            Resolution{.x = bigEndian32(&data[0]),
                       .y = bigEndian32(&data[4]),
                       .unit = data[8] == 1 ? Resolution::Unit::Metre : Resolution::Unit::None};
      }
    } else if (isChunk(type, "iCCP") && length <= maxMetadataBytes &&
               headers.metadata.icc.empty()) {
      const std::vector<std::uint8_t> data = source.read(pos + 8, length);
      const auto nameEnd = std::find(data.begin(), data.end(), 0);
      if (nameEnd != data.end() && data.end() - nameEnd > 2 && nameEnd[1] == 0) {
        headers.metadata.icc =
            inflated(std::span(data).subspan(static_cast<std::size_t>(nameEnd - data.begin()) + 2));
      }
    }
    pos += std::uint64_t{length} + 12;
  }
  checkSourceSize(headers.size);
  if (imageData * maxDeflateRatio < rowBytes * headers.size.height) {
    damagedPicture("the PNG file is too short for the " + std::to_string(headers.size.width) +
                   " x " + std::to_string(headers.size.height) + " pixels it declares");
  }
  headers.metadata.orientation = orientationOf(headers.metadata.exif);
  return headers;
}

// The chunks an encoder writes before its first IDAT; 0 until that IDAT's type has been seen.
std::size_t pngHeadLength(std::span<const std::uint8_t> start) {
  for (std::size_t pos = signatureBytes; pos + 8 <= start.size();) {
    if (isChunk(&start[pos + 4], "IDAT")) {
      return pos;
    }
    pos += std::size_t{bigEndian32(&start[pos])} + 12;
  }
  return 0;
}

std::unique_ptr<MetadataWriter> pngMetadataWriter(ByteSink& file, const Metadata& metadata) {
  return std::make_unique<HeadRewriter>(
      file, pngHeadLength, [metadata](std::span<const std::uint8_t> head) {
        // The signature and the image header, then the chunks carried over, then the encoder's
        // other chunks: those it may have written itself in their place are left out.
        constexpr std::size_t headerEnd = signatureBytes + 25;
        if (head.size() < headerEnd) {
          return std::vector<std::uint8_t>(head.begin(), head.end());
        }
        std::vector<std::uint8_t> out(head.begin(), head.begin() + headerEnd);
        if (!metadata.icc.empty()) {
          uLongf size = compressBound(static_cast<uLong>(metadata.icc.size()));
          std::vector<std::uint8_t> data = {'I', 'C', 'C', ' ', 'P', 'r', 'o',
                                            'f', 'i', 'l', 'e', 0,   0};
          const std::size_t start = data.size();
          data.resize(start + size);
          if (compress2(data.data() + start, &size, metadata.icc.data(),
                        static_cast<uLong>(metadata.icc.size()), Z_DEFAULT_COMPRESSION) == Z_OK) {
            data.resize(start + size);
            const std::vector<std::uint8_t> iccp = chunk("iCCP", data);
            out.insert(out.end(), iccp.begin(), iccp.end());
          }
        }
        if (!metadata.exif.empty()) {
          const std::vector<std::uint8_t> exif = chunk("eXIf", metadata.exif);
          out.insert(out.end(), exif.begin(), exif.end());
        }
        if (const std::optional<Resolution>& density = metadata.resolution) {
          std::uint8_t data[9] = {};
          putBigEndian(data, density->x);
          putBigEndian(data + 4, density->y);
          data[8] = density->unit == Resolution::Unit::Metre ? 1 : 0;
          const std::vector<std::uint8_t> phys = chunk("pHYs", data);
          out.insert(out.end(), phys.begin(), phys.end());
        }
        if (!metadata.xmp.empty()) {
          std::vector<std::uint8_t> data(xmpKeyword.begin(), xmpKeyword.end());
          data.insert(data.end(), {0, 0, 0, 0});  // uncompressed, no language, no translation
          data.insert(data.end(), metadata.xmp.begin(), metadata.xmp.end());
          const std::vector<std::uint8_t> itxt = chunk("iTXt", data);
          out.insert(out.end(), itxt.begin(), itxt.end());
        }
        for (const std::vector<std::uint8_t>& comment : metadata.comments) {
          if (comment.size() >= 4) {
            const std::string type(comment.begin(), comment.begin() + 4);
            const std::vector<std::uint8_t> text =
                chunk(type.c_str(), std::span(comment).subspan(4));
            out.insert(out.end(), text.begin(), text.end());
          }
        }
        const bool textsReplaced = !metadata.xmp.empty() || !metadata.comments.empty();
        for (std::size_t pos = headerEnd; pos + 12 <= head.size();) {
          const std::size_t end = pos + bigEndian32(&head[pos]) + 12;
          const std::uint8_t* type = &head[pos + 4];
          const bool replaced = (isChunk(type, "iCCP") && !metadata.icc.empty()) ||
                                (isChunk(type, "eXIf") && !metadata.exif.empty()) ||
                                (isChunk(type, "pHYs") && metadata.resolution) ||
                                (isText(type) && textsReplaced);
          if (!replaced) {
            out.insert(out.end(), head.begin() + static_cast<std::ptrdiff_t>(pos),
                       head.begin() + static_cast<std::ptrdiff_t>(std::min(end, head.size())));
          }
          pos = end;
        }
        return out;
      });
}

}  // namespace karvelo::converter
