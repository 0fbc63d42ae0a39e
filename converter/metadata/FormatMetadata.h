// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/metadata/Headers.h"
#include "converter/metadata/MetadataWriter.h"

#include <functional>
#include <string>

// Each format's part of reading headers and writing metadata.
namespace karvelo::converter {

PictureHeaders readJpegHeaders(const ByteSource& source);
PictureHeaders readPngHeaders(const ByteSource& source);
PictureHeaders readWebpHeaders(const ByteSource& source);
PictureHeaders readTiffHeaders(const ByteSource& source);
PictureHeaders readGifHeaders(const ByteSource& source);
PictureHeaders readBmpHeaders(const ByteSource& source);
// The size and metadata of a HEIF file's primary picture, as its decoder shows it: cropped and
// turned by the file's own transformations.
PictureHeaders readHeifHeaders(const ByteSource& source);
// HEIF or AVIF where a file's first box lists one of their brands.
std::optional<PictureFormat> heifFormatOf(std::span<const std::uint8_t> head);

// The largest sides the encoders write (measured with 64 rows): x265 65535, libaom 65536.
inline constexpr std::uint32_t heifMaxSide = 65535;
inline constexpr std::uint32_t avifMaxSide = 65536;

// Passes bytes through unchanged; `finish` adds whatever the format adds at the end.
class PassingWriter : public MetadataWriter {
 public:
  explicit PassingWriter(ByteSink& file) : file_(file) {}

  std::uint64_t size() const override { return file_.size(); }
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const override {
    return file_.readAt(offset, buffer, length);
  }
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    file_.writeAt(offset, bytes);
  }
  void finish() override {}

 protected:
  ByteSink& file_;
};

// Holds back the first bytes an encoder writes until its head is complete, then writes the head
// as `rewrite` makes it and shifts everything after it. `headLength` gives the head's length once
// the bytes seen so far show it, else 0.
class HeadRewriter : public MetadataWriter {
 public:
  using HeadLength = std::function<std::size_t(std::span<const std::uint8_t> start)>;
  using Rewrite = std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t> head)>;

  HeadRewriter(ByteSink& file, HeadLength headLength, Rewrite rewrite)
      : file_(file), headLength_(std::move(headLength)), rewrite_(std::move(rewrite)) {}

  std::uint64_t size() const override;
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const override;
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
  void finish() override;

 protected:
  ByteSink& file_;

 private:
  void writeHead(std::size_t length);

  HeadLength headLength_;
  Rewrite rewrite_;
  std::vector<std::uint8_t> held_;
  bool written_ = false;
  std::int64_t shift_ = 0;  // how much further on the file the encoder's bytes land
};

std::unique_ptr<MetadataWriter> jpegMetadataWriter(ByteSink& file, const Metadata& metadata);
std::unique_ptr<MetadataWriter> pngMetadataWriter(ByteSink& file, const Metadata& metadata);
std::unique_ptr<MetadataWriter> webpMetadataWriter(ByteSink& file, const Metadata& metadata);
std::unique_ptr<MetadataWriter> tiffMetadataWriter(ByteSink& file, const Metadata& metadata);
std::unique_ptr<MetadataWriter> bmpMetadataWriter(ByteSink& file, const Metadata& metadata);
std::unique_ptr<MetadataWriter> gifMetadataWriter(ByteSink& file, const Metadata& metadata);

// How many frames a GIF file holds, counted by walking its blocks without decoding them.
std::uint32_t gifFrameCount(const ByteSource& source);

// The blocks of one frame of a GIF file: the extensions before its image, the image's
// descriptor and its data. The first frame's begin after the head (the header and the global
// colour table), each other's where the one before it ends.
struct GifFrameBlocks {
  std::uint64_t begin = 0;
  std::uint64_t end = 0;  // 0: no frame follows
};
// The frame whose blocks begin at `from`, or the first with 0; found without decoding. A frame
// cut short ends with the file.
GifFrameBlocks gifFrameBlocks(const ByteSource& source, std::uint64_t from = 0);

// Metadata blocks beyond this size are left out: no format needs more, and a damaged length must
// not make the reader allocate much.
inline constexpr std::uint32_t maxMetadataBytes = 16 << 20;

// Whether a block of `length` bytes more may be carried unread.
inline bool roomFor(const Metadata& metadata, std::uint64_t length) {
  return metadata.carriedBytes() + length <= maxCarriedMetadataBytes;
}

// Readers of numbers in file bytes.
inline std::uint32_t bigEndian32(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
         (std::uint32_t{bytes[2]} << 8) | bytes[3];
}
inline std::uint32_t bigEndian16(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 8) | bytes[1];
}
inline std::uint32_t littleEndian32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
         (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
}
inline std::uint32_t littleEndian16(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8);
}

// The orientation that an EXIF block holds, 1 when it holds none.
int orientationOf(const std::vector<std::uint8_t>& exif);

}  // namespace karvelo::converter
