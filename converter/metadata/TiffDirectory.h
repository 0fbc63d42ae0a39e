// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSource.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The directories of a TIFF structure (a TIFF file, or an EXIF block), read with their values and
// laid out again elsewhere, in either byte order.
namespace karvelo::converter {

inline constexpr std::uint16_t tiffTagExifIfd = 0x8769;
inline constexpr std::uint16_t tiffTagGpsIfd = 0x8825;
inline constexpr std::uint16_t tiffTagInteropIfd = 0xA005;
inline constexpr std::uint16_t tiffTagIccProfile = 0x8773;
inline constexpr std::uint16_t tiffTypeUndefined = 7;

struct TiffEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::vector<std::uint8_t> value;  // all values, in the directory's byte order
};

struct TiffChild;

struct TiffIfd {
  bool bigEndian = false;
  std::vector<TiffEntry> entries;  // in tag order
  // The directories that the EXIF, GPS and interoperability pointers among the entries lead to.
  std::vector<TiffChild> children;
  std::uint32_t next = 0;  // the offset of the following directory, as read

  const TiffEntry* find(std::uint16_t tag) const;
  // A single SHORT or LONG value.
  std::optional<std::uint32_t> number(std::uint16_t tag) const;
  // A single RATIONAL value: numerator and denominator.
  std::optional<std::pair<std::uint32_t, std::uint32_t>> fraction(std::uint16_t tag) const;
  // Adds or replaces an entry, keeping the tag order.
  void put(TiffEntry entry);
  void remove(std::uint16_t tag);
};

// A directory that a pointer entry leads to, under the pointer's tag. (A named type rather than a
// pair: a pair holding the directory that holds it cannot be checked for its constructors before
// the directory is complete.)
struct TiffChild {
  TiffChild(std::uint16_t pointerTag, TiffIfd directory)
      : tag(pointerTag), ifd(std::move(directory)) {}

  std::uint16_t tag;
  TiffIfd ifd;
};

struct TiffHeader {
  bool bigEndian = false;
  std::uint32_t firstIfd = 0;
};

// The header of a classic TIFF structure at `base`; nullopt when there is none.
std::optional<TiffHeader> readTiffHeader(const ByteSource& source, std::uint64_t base = 0);

// Reads the directory at `offset` (from `base`), following the pointer tags to their directories.
// Only entries that `wanted` accepts are read (all when it is null); values beyond `budget` bytes
// in all are left out, so that a damaged file cannot make the reader allocate much. Returns
// nullopt for a directory that lies outside the source or declares more entries than fit.
std::optional<TiffIfd> readTiffIfd(const ByteSource& source, bool bigEndian, std::uint64_t offset,
                                   std::uint64_t base = 0, bool (*wanted)(std::uint16_t) = nullptr,
                                   std::size_t budget = 16 << 20);

// Lays out a directory and its children as bytes that begin at `at` in a structure whose offsets
// count from its header, in the given byte order; `next` is the offset of a following directory.
std::vector<std::uint8_t> layOutTiffIfd(const TiffIfd& ifd, bool bigEndian, std::uint32_t at,
                                        std::uint32_t next = 0);

// A LONG value as bytes in the given order.
std::vector<std::uint8_t> tiffLong(std::uint32_t value, bool bigEndian);

// A whole EXIF block: the header and its first directory (with the children).
std::vector<std::uint8_t> exifBlockOf(const TiffIfd& first);

}  // namespace karvelo::converter
