// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/metadata/Headers.h"

#include "converter/core/ConversionError.h"
#include "converter/core/ExifBlock.h"
#include "converter/core/TargetSize.h"
#include "converter/metadata/BmpHeader.h"
#include "converter/metadata/FormatMetadata.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace karvelo::converter {

namespace {

bool startsWith(std::span<const std::uint8_t> head, std::string_view signature,
                std::size_t offset = 0) {
  return head.size() >= offset + signature.size() &&
         std::memcmp(head.data() + offset, signature.data(), signature.size()) == 0;
}

}  // namespace

std::optional<PictureFormat> detectFormat(std::span<const std::uint8_t> head) {
  if (startsWith(head, "\xFF\xD8\xFF")) {
    return PictureFormat::Jpeg;
  }
  if (startsWith(head, "\x89PNG\r\n\x1A\n")) {
    return PictureFormat::Png;
  }
  if (startsWith(head, "RIFF") && startsWith(head, "WEBP", 8)) {
    return PictureFormat::Webp;
  }
  if (startsWith(head, "GIF87a") || startsWith(head, "GIF89a")) {
    return PictureFormat::Gif;
  }
  if (startsWith(head, std::string_view("II*\0", 4)) ||
      startsWith(head, std::string_view("MM\0*", 4))) {
    return PictureFormat::Tiff;
  }
  if (startsWith(head, "BM") && head.size() >= 14) {
    return PictureFormat::Bmp;
  }
  return heifFormatOf(head);
}

PictureHeaders readHeaders(PictureFormat format, const ByteSource& source) {
  PictureHeaders headers;
  switch (format) {
    case PictureFormat::Jpeg:
      headers = readJpegHeaders(source);
      break;
    case PictureFormat::Png:
      headers = readPngHeaders(source);
      break;
    case PictureFormat::Webp:
      headers = readWebpHeaders(source);
      break;
    case PictureFormat::Bmp:
      headers = readBmpHeaders(source);
      break;
    case PictureFormat::Gif:
      headers = readGifHeaders(source);
      break;
    case PictureFormat::Tiff:
      headers = readTiffHeaders(source);
      break;
    case PictureFormat::Heif:
    case PictureFormat::Avif:
      headers = readHeifHeaders(source);
      break;
  }
  checkSourceSize(headers.size);
  if (headers.allPixels == 0) {
    headers.allPixels = headers.size.area();
  }
  checkAllFrames(headers.allPixels, headers.frames);
  return headers;
}

std::uint32_t maxSide(PictureFormat format) {
  switch (format) {
    case PictureFormat::Jpeg:
      return 65500;
    case PictureFormat::Webp:
      return 16383;
    case PictureFormat::Bmp:
      return 32767;
    case PictureFormat::Gif:
      return 65535;
    case PictureFormat::Png:
      return 0x7FFFFFFF;
    case PictureFormat::Heif:
      return heifMaxSide;
    case PictureFormat::Avif:
      return avifMaxSide;
    case PictureFormat::Tiff:
      break;
  }
  return std::numeric_limits<std::uint32_t>::max();
}

bool profileFits(std::span<const std::uint8_t> icc, ColorModel model) {
  const auto space = [&](const char* name) {
    return icc.size() >= 20 && std::memcmp(icc.data() + 16, name, 4) == 0;
  };
  if (space("CMYK")) {
    return model == ColorModel::Cmyk;
  }
  return model != ColorModel::Cmyk || !(space("RGB ") || space("GRAY"));
}

std::unique_ptr<MetadataWriter> metadataWriter(PictureFormat format, ByteSink& file,
                                               const Metadata& metadata) {
  if (metadata.empty()) {
    return std::make_unique<PassingWriter>(file);
  }
  switch (format) {
    case PictureFormat::Jpeg:
      return jpegMetadataWriter(file, metadata);
    case PictureFormat::Png:
      return pngMetadataWriter(file, metadata);
    case PictureFormat::Webp:
      return webpMetadataWriter(file, metadata);
    case PictureFormat::Tiff:
      return tiffMetadataWriter(file, metadata);
    case PictureFormat::Bmp:
      return bmpMetadataWriter(file, metadata);
    case PictureFormat::Gif:
      return gifMetadataWriter(file, metadata);
    case PictureFormat::Heif:  // its encoder stores the metadata (see EncodedRows::metadata)
    case PictureFormat::Avif:
      break;
  }
  return std::make_unique<PassingWriter>(file);
}

int orientationOf(const std::vector<std::uint8_t>& exif) {
  return exif.empty() ? 1 : ExifBlock(exif).orientation().value_or(1);
}

std::uint64_t HeadRewriter::size() const {
  return written_ ? static_cast<std::uint64_t>(static_cast<std::int64_t>(file_.size()) - shift_)
                  : held_.size();
}

std::size_t HeadRewriter::readAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (!written_) {
    return MemorySource(held_).readAt(offset, buffer, length);
  }
  return file_.readAt(static_cast<std::uint64_t>(static_cast<std::int64_t>(offset) + shift_),
                      buffer, length);
}

void HeadRewriter::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (written_) {
    file_.writeAt(static_cast<std::uint64_t>(static_cast<std::int64_t>(offset) + shift_), bytes);
    return;
  }
  const auto at = static_cast<std::size_t>(offset);
  held_.resize(std::max(held_.size(), at + bytes.size()));
  std::copy(bytes.begin(), bytes.end(), held_.begin() + static_cast<std::ptrdiff_t>(at));
  if (const std::size_t length = headLength_(held_); length > 0 && length <= held_.size()) {
    writeHead(length);
  }
}

void HeadRewriter::writeHead(std::size_t length) {
  const std::span<const std::uint8_t> held(held_);
  const std::vector<std::uint8_t> head = rewrite_(held.first(length));
  file_.append(head);
  file_.append(held.subspan(length));
  shift_ = static_cast<std::int64_t>(head.size()) - static_cast<std::int64_t>(length);
  written_ = true;
  held_ = {};
}

void HeadRewriter::finish() {
  if (!written_) {
    // The encoder wrote less than a whole head: pass it on as it is.
    file_.append(held_);
    written_ = true;
    held_ = {};
  }
}

BmpHeader readBmpHeader(const ByteSource& source) {
  const std::vector<std::uint8_t> head = source.read(0, 14 + 124);
  if (head.size() < 26) {
    damagedPicture("the BMP headers are cut short");
  }
  BmpHeader header;
  header.dataOffset = littleEndian32(&head[10]);
  const std::uint32_t infoSize = littleEndian32(&head[14]);
  if (infoSize == 12) {
    header.size = {littleEndian16(&head[18]), littleEndian16(&head[20])};
    header.bitsPerPixel = littleEndian16(&head[24]);
    header.paletteEntrySize = 3;
  } else if (infoSize >= 40 && head.size() >= 54) {
    const auto width = static_cast<std::int32_t>(littleEndian32(&head[18]));
    const auto height = static_cast<std::int32_t>(littleEndian32(&head[22]));
    if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min()) {
      damagedPicture("the BMP headers declare no pixels");
    }
    header.size = {static_cast<std::uint32_t>(width),
                   static_cast<std::uint32_t>(height < 0 ? -height : height)};
    header.topDown = height < 0;
    header.bitsPerPixel = littleEndian16(&head[28]);
    header.compression = littleEndian32(&head[30]);
    header.paletteCount = littleEndian32(&head[46]);
    header.pixelsPerMetreX = static_cast<std::int32_t>(littleEndian32(&head[38]));
    header.pixelsPerMetreY = static_cast<std::int32_t>(littleEndian32(&head[42]));
    // Bit fields follow a 40-byte header, or are part of the later ones.
    if (header.compression == 3 || header.compression == 6) {
      const std::size_t masks = infoSize >= 56 || header.compression == 6 ? 4 : 3;
      for (std::size_t i = 0; i < masks && 54 + 4 * i + 4 <= head.size(); ++i) {
        header.masks[i] = littleEndian32(&head[54 + 4 * i]);
      }
    }
  } else {
    damagedPicture("the BMP headers are of an unknown kind");
  }
  header.paletteOffset = 14 + infoSize +
                         (infoSize == 40 && header.compression == 3   ? 12
                          : infoSize == 40 && header.compression == 6 ? 16
                                                                      : 0);
  const std::uint32_t bits = header.bitsPerPixel;
  const bool rle = header.compression == bmpRle8 || header.compression == bmpRle4;
  const bool knownBits =
      bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if ((header.compression == bmpRle8 && bits != 8) ||
      (header.compression == bmpRle4 && bits != 4)) {
    damagedPicture("the BMP headers declare a compression that does not fit their depth");
  }
  if (!knownBits ||
      (header.compression != 0 && !rle && header.compression != 3 && header.compression != 6)) {
    throw ConversionError(ExitCode::UnsupportedFormat,
                          "this kind of BMP is not supported (" + std::to_string(bits) +
                              " bits, compression " + std::to_string(header.compression) + ")");
  }
  if (bits <= 8 && (header.paletteCount == 0 || header.paletteCount > (1u << bits))) {
    header.paletteCount = 1u << bits;
  }
  header.rowBytes = (std::uint64_t{bits} * header.size.width + 31) / 32 * 4;
  if (!rle && header.dataOffset + header.rowBytes * header.size.height > source.size()) {
    damagedPicture("the BMP file ends before its last row");
  }
  return header;
}

PictureHeaders readBmpHeaders(const ByteSource& source) {
  const BmpHeader header = readBmpHeader(source);
  PictureHeaders headers{header.size, {}, {}};
  if (header.pixelsPerMetreX > 0 && header.pixelsPerMetreY > 0) {
    headers.metadata.resolution =
        Resolution{.x = static_cast<std::uint32_t>(header.pixelsPerMetreX),
                   .y = static_cast<std::uint32_t>(header.pixelsPerMetreY),
                   .unit = Resolution::Unit::Metre};
  }
  return headers;
}

namespace {

// Writes the resolution into the finished file's information header, where every header but the
// oldest (12 bytes, without one) holds it: after the encoder is done, since an encoder may write
// its header again at the end.
class BmpMetadataWriter final : public PassingWriter {
 public:
  BmpMetadataWriter(ByteSink& file, const Metadata& metadata)
      : PassingWriter(file), density_(metadata.resolution) {}

  void finish() override {
    // The file's size as it is: Wine's encoder leaves the palette out of the size it writes.
    if (const std::uint64_t size = file_.size(); size <= 0xFFFFFFFF) {
      std::vector<std::uint8_t> bytes(4);
      for (int i = 0; i < 4; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
      }
      file_.writeAt(2, bytes);
    }
    std::uint8_t infoSize[4] = {};
    // A bitmap's resolution is in pixels per metre, a whole number.
    if (!density_ || density_->unit != Resolution::Unit::Metre || density_->x > 0x7FFFFFFF ||
        density_->y > 0x7FFFFFFF || file_.readAt(14, infoSize, 4) != 4 ||
        littleEndian32(infoSize) < 40) {
      return;
    }
    std::vector<std::uint8_t> bytes(8);
    for (int i = 0; i < 4; ++i) {
      bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(density_->x >> (8 * i));
      bytes[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(density_->y >> (8 * i));
    }
    file_.writeAt(38, bytes);
  }

 private:
  std::optional<Resolution> density_;
};

}  // namespace

std::unique_ptr<MetadataWriter> bmpMetadataWriter(ByteSink& file, const Metadata& metadata) {
  return std::make_unique<BmpMetadataWriter>(file, metadata);
}

}  // namespace karvelo::converter
