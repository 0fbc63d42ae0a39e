// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ExifBlock.h"

#include <gtest/gtest.h>

using karvelo::converter::ExifBlock;

namespace {

// A TIFF-structured EXIF block: IFD0 with a make, the orientation and the EXIF pointer; the EXIF
// directory with the pixel width as SHORT and the height as LONG.
std::vector<std::uint8_t> makeBlock(bool bigEndian, std::uint16_t orientation) {
  std::vector<std::uint8_t> bytes;
  auto put16 = [&](std::uint32_t v) {
    const std::uint8_t hi = static_cast<std::uint8_t>(v >> 8), lo = static_cast<std::uint8_t>(v);
    bytes.push_back(bigEndian ? hi : lo);
    bytes.push_back(bigEndian ? lo : hi);
  };
  auto put32 = [&](std::uint32_t v) {
    put16(bigEndian ? v >> 16 : v & 0xFFFF);
    put16(bigEndian ? v & 0xFFFF : v >> 16);
  };
  bytes.push_back(bigEndian ? 'M' : 'I');
  bytes.push_back(bigEndian ? 'M' : 'I');
  put16(42);
  put32(8);
  put16(3);                                     // IFD0 at 8: three entries
  put16(0x010F), put16(2), put32(4), put32(0);  // make "\0\0\0\0" held inline
  put16(0x0112), put16(3), put32(1), put16(orientation), put16(0);
  put16(0x8769), put16(4), put32(1), put32(8 + 2 + 36 + 4);
  put32(0);  // no next IFD
  put16(2);  // EXIF IFD at 50
  put16(0xA002), put16(3), put32(1), put16(4000), put16(0);
  put16(0xA003), put16(4), put32(1), put32(3000);
  put32(0);
  return bytes;
}

}  // namespace

TEST(ExifBlock, ReadsAndResetsOrientationAndPixelSizeInBothByteOrders) {
  for (bool bigEndian : {false, true}) {
    for (std::uint16_t orientation = 1; orientation <= 8; ++orientation) {
      ExifBlock block(makeBlock(bigEndian, orientation));
      EXPECT_EQ(block.orientation(), orientation);
      block.resetOrientation();
      EXPECT_EQ(block.orientation(), 1);
      block.setPixelDimensions(1000, 750);
      // Only the patched values differ from a block written with them.
      std::vector<std::uint8_t> expected = makeBlock(bigEndian, 1);
      ExifBlock reference(expected);
      EXPECT_EQ(block.bytes().size(), expected.size());
      std::size_t differing = 0;
      for (std::size_t i = 0; i < expected.size(); ++i) {
        differing += block.bytes()[i] != expected[i];
      }
      EXPECT_LE(differing, 4u);  // the two low bytes of each new dimension
    }
  }
  // A width that does not fit the SHORT it is stored in is left alone.
  ExifBlock block(makeBlock(false, 6));
  block.setPixelDimensions(70000, 70000);
  EXPECT_EQ(block.bytes()[50 + 2 + 8], 4000 & 0xFF);
  EXPECT_EQ(block.bytes()[50 + 2 + 12 + 8], 70000 & 0xFF);
}

TEST(ExifBlock, DamagedBlocksHaveNoOrientation) {
  EXPECT_EQ(ExifBlock({}).orientation(), std::nullopt);
  EXPECT_EQ(ExifBlock({'I', 'I', 42, 0}).orientation(), std::nullopt);
  EXPECT_EQ(ExifBlock(makeBlock(false, 0)).orientation(), std::nullopt);
  EXPECT_EQ(ExifBlock(makeBlock(false, 9)).orientation(), std::nullopt);
  std::vector<std::uint8_t> bytes = makeBlock(true, 6);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    ExifBlock block(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cut));
    block.resetOrientation();  // never reads or writes outside the block
    block.setPixelDimensions(1, 1);
    EXPECT_EQ(block.bytes().size(), cut);
  }
  bytes[4] = 0xFF;  // IFD0 offset far outside the block
  EXPECT_EQ(ExifBlock(bytes).orientation(), std::nullopt);
}
