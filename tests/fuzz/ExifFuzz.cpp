// SPDX-License-Identifier: GPL-3.0-or-later
// An EXIF block of any bytes, as a picture may carry it: the reader of its orientation, the
// patches a conversion makes (orientation, pixel size, thumbnail), and the reader of TIFF
// directories that carries EXIF data from one format into another. Patches change a few bytes in
// place and never the block's length; a directory laid out again reads back as it was.
#include "FuzzInput.h"

#include "converter/core/ExifBlock.h"
#include "converter/metadata/TiffDirectory.h"

#include <algorithm>

using namespace karvelo::converter;
using karvelo::fuzz::require;

namespace {

std::size_t bytesChanged(const std::vector<std::uint8_t>& before,
                         const std::vector<std::uint8_t>& after) {
  require(before.size() == after.size(), "a patch keeps the block's length");
  std::size_t changed = 0;
  for (std::size_t i = 0; i < before.size(); ++i) changed += before[i] != after[i] ? 1 : 0;
  return changed;
}

bool isPointer(std::uint16_t tag) {
  return tag == tiffTagExifIfd || tag == tiffTagGpsIfd || tag == tiffTagInteropIfd;
}

// The entries and directories of `again`, read from the layout of `ifd`, are those of `ifd`;
// only the pointers' values, which are offsets, may differ.
void checkSame(const TiffIfd& ifd, const TiffIfd& again) {
  require(ifd.entries.size() == again.entries.size(), "every entry is laid out again");
  for (std::size_t i = 0; i < ifd.entries.size(); ++i) {
    const TiffEntry& a = ifd.entries[i];
    const TiffEntry& b = again.entries[i];
    require(a.tag == b.tag && a.type == b.type && a.count == b.count, "an entry keeps its kind");
    require(isPointer(a.tag) || a.value == b.value, "an entry keeps its value");
  }
  require(ifd.children.size() == again.children.size(), "every directory is laid out again");
  for (const TiffChild& child : ifd.children) {
    const auto other = std::find_if(again.children.begin(), again.children.end(),
                                    [&](const TiffChild& c) { return c.tag == child.tag; });
    require(other != again.children.end(), "a directory keeps its pointer");
    checkSame(child.ifd, other->ifd);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  karvelo::fuzz::FuzzInput in(data, size);
  const std::uint32_t width = in.below(65536) + 1;
  const std::uint32_t height = in.below(65536) * 16 + 1;
  const std::span<const std::uint8_t> block = in.rest();
  const std::vector<std::uint8_t> bytes(block.begin(), block.end());

  ExifBlock exif(bytes);
  const std::optional<int> orientation = exif.orientation();
  require(!orientation || (*orientation >= 1 && *orientation <= 8), "an orientation of 1 to 8");
  exif.resetOrientation();
  require(exif.orientation().value_or(1) == 1, "a reset orientation reads 1");
  require(bytesChanged(bytes, exif.bytes()) <= 2, "the reset changes one value");
  const std::vector<std::uint8_t> upright = exif.bytes();
  exif.setPixelDimensions(width, height);
  require(bytesChanged(upright, exif.bytes()) <= 8, "the size changes two values");
  const std::vector<std::uint8_t> sized = exif.bytes();
  exif.dropThumbnail();
  require(bytesChanged(sized, exif.bytes()) <= 4, "dropping the thumbnail changes one link");

  // The same bytes as the TIFF structure that a conversion reads and lays out again.
  const MemorySource source(block);
  const std::optional<TiffHeader> header = readTiffHeader(source);
  if (!header) return 0;
  const std::optional<TiffIfd> first = readTiffIfd(source, header->bigEndian, header->firstIfd);
  if (!first) return 0;
  const std::vector<std::uint8_t> laid = exifBlockOf(*first);
  const MemorySource laidSource(laid);
  const std::optional<TiffHeader> laidHeader = readTiffHeader(laidSource);
  require(laidHeader && laidHeader->bigEndian == header->bigEndian, "the layout has a header");
  const std::optional<TiffIfd> again =
      readTiffIfd(laidSource, laidHeader->bigEndian, laidHeader->firstIfd);
  require(again.has_value(), "the layout has a directory");
  checkSame(*first, *again);
  return 0;
}
