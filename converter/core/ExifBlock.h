// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace karvelo::converter {

// The EXIF data of a picture as its TIFF-structured block (the bytes after "Exif\0\0" in JPEG and
// WebP, the eXIf chunk of PNG). Reads and patches single entries in place, so that every other
// byte of the block is kept exactly; a damaged block reads as having no such entry.
class ExifBlock {
 public:
  explicit ExifBlock(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  // The orientation tag (1 to 8), when it is present and valid.
  std::optional<int> orientation() const;

  // Sets the orientation to 1 (upright) where the tag is present.
  void resetOrientation();

  // Writes the picture's new pixel size into the EXIF sub-directory, where it is present.
  void setPixelDimensions(std::uint32_t width, std::uint32_t height);

  // Unlinks the second directory, which holds the thumbnail: once the picture has been turned
  // upright, a thumbnail of the stored pixels would stand the wrong way.
  void dropThumbnail();

 private:
  struct Entry {
    std::size_t offset;  // of the 12-byte entry in bytes_
    std::uint16_t type;
    std::uint32_t count;
  };

  std::optional<std::uint16_t> read16(std::size_t offset) const;
  std::optional<std::uint32_t> read32(std::size_t offset) const;
  void write16(std::size_t offset, std::uint16_t value);
  void write32(std::size_t offset, std::uint32_t value);
  bool bigEndian() const;
  std::optional<Entry> find(std::uint32_t ifdOffset, std::uint16_t tag) const;
  std::optional<std::uint32_t> firstIfd() const;
  std::optional<std::uint32_t> exifIfd() const;
  void setInteger(const Entry& entry, std::uint32_t value);

  std::vector<std::uint8_t> bytes_;
};

}  // namespace karvelo::converter
