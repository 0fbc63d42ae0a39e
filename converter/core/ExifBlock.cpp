// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ExifBlock.h"

namespace karvelo::converter {

namespace {

constexpr std::uint16_t tagOrientation = 0x0112;
constexpr std::uint16_t tagExifIfd = 0x8769;
constexpr std::uint16_t tagPixelXDimension = 0xA002;
constexpr std::uint16_t tagPixelYDimension = 0xA003;
constexpr std::uint16_t typeShort = 3;
constexpr std::uint16_t typeLong = 4;

}  // namespace

bool ExifBlock::bigEndian() const {
  return bytes_.size() >= 2 && bytes_[0] == 'M' && bytes_[1] == 'M';
}

std::optional<std::uint16_t> ExifBlock::read16(std::size_t offset) const {
  if (offset > bytes_.size() || bytes_.size() - offset < 2) {
    return std::nullopt;
  }
  const unsigned a = bytes_[offset];
  const unsigned b = bytes_[offset + 1];
  return static_cast<std::uint16_t>(bigEndian() ? (a << 8) | b : (b << 8) | a);
}

std::optional<std::uint32_t> ExifBlock::read32(std::size_t offset) const {
  const auto first = read16(offset);
  const auto second = read16(offset + 2);
  if (!first || !second) {
    return std::nullopt;
  }
  return bigEndian() ? (std::uint32_t{*first} << 16) | *second
                     : (std::uint32_t{*second} << 16) | *first;
}

void ExifBlock::write16(std::size_t offset, std::uint16_t value) {
  const auto high = static_cast<std::uint8_t>(value >> 8);
  const auto low = static_cast<std::uint8_t>(value & 0xFF);
  bytes_[offset] = bigEndian() ? high : low;
  bytes_[offset + 1] = bigEndian() ? low : high;
}

void ExifBlock::write32(std::size_t offset, std::uint32_t value) {
  const auto high = static_cast<std::uint16_t>(value >> 16);
  const auto low = static_cast<std::uint16_t>(value & 0xFFFF);
  write16(offset, bigEndian() ? high : low);
  write16(offset + 2, bigEndian() ? low : high);
}

std::optional<std::uint32_t> ExifBlock::firstIfd() const {
  if (bytes_.size() < 8) {
    return std::nullopt;
  }
  const bool intel = bytes_[0] == 'I' && bytes_[1] == 'I';
  if (!intel && !bigEndian()) {
    return std::nullopt;
  }
  if (read16(2) != 42) {
    return std::nullopt;
  }
  return read32(4);
}

std::optional<ExifBlock::Entry> ExifBlock::find(std::uint32_t ifdOffset, std::uint16_t tag) const {
  const auto count = read16(ifdOffset);
  if (!count) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < *count; ++i) {
    const std::size_t offset = ifdOffset + 2 + 12 * i;
    const auto entryTag = read16(offset);
    const auto type = read16(offset + 2);
    const auto entryCount = read32(offset + 4);
    if (!entryTag || !type || !entryCount || !read32(offset + 8)) {
      return std::nullopt;
    }
    if (*entryTag == tag) {
      return Entry{offset, *type, *entryCount};
    }
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ExifBlock::exifIfd() const {
  const auto ifd0 = firstIfd();
  if (!ifd0) {
    return std::nullopt;
  }
  const auto entry = find(*ifd0, tagExifIfd);
  if (!entry || entry->count != 1 || (entry->type != typeLong && entry->type != 13)) {
    return std::nullopt;
  }
  return read32(entry->offset + 8);
}

std::optional<int> ExifBlock::orientation() const {
  const auto ifd0 = firstIfd();
  if (!ifd0) {
    return std::nullopt;
  }
  const auto entry = find(*ifd0, tagOrientation);
  if (!entry || entry->type != typeShort || entry->count != 1) {
    return std::nullopt;
  }
  const auto value = read16(entry->offset + 8);
  if (!value || *value < 1 || *value > 8) {
    return std::nullopt;
  }
  return *value;
}

void ExifBlock::resetOrientation() {
  if (!orientation()) {
    return;
  }
  if (const auto entry = find(*firstIfd(), tagOrientation)) {
    write16(entry->offset + 8, 1);
  }
}

void ExifBlock::setInteger(const Entry& entry, std::uint32_t value) {
  if (entry.count != 1) {
    return;
  }
  if (entry.type == typeShort && value <= 0xFFFF) {
    write16(entry.offset + 8, static_cast<std::uint16_t>(value));
  } else if (entry.type == typeLong) {
    write32(entry.offset + 8, value);
  }
}

void ExifBlock::setPixelDimensions(std::uint32_t width, std::uint32_t height) {
  const auto ifd = exifIfd();
  if (!ifd) {
    return;
  }
  if (const auto entry = find(*ifd, tagPixelXDimension)) {
    setInteger(*entry, width);
  }
  if (const auto entry = find(*ifd, tagPixelYDimension)) {
    setInteger(*entry, height);
  }
}

void ExifBlock::dropThumbnail() {
  const auto ifd0 = firstIfd();
  const auto count = ifd0 ? read16(*ifd0) : std::nullopt;
  if (!count) {
    return;
  }
  const std::size_t next = *ifd0 + 2 + std::size_t{12} * *count;
  if (read32(next)) {
    write32(next, 0);
  }
}

}  // namespace karvelo::converter
