// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/TiffPieces.h"

#include "converter/core/ConversionError.h"

#include <algorithm>
#include <cstring>

namespace karvelo::converter {

namespace {

constexpr std::uint64_t bandBytes = 16 << 20;
// The largest piece decoded, as libtiff is allowed to allocate: a file that declares larger
// tiles or strips is refused rather than believed.
constexpr std::uint64_t maxPieceBytes = 64 << 20;

}  // namespace

TiffPieces::TiffPieces(TIFF* tiff, PixelSize size, std::size_t samples, std::size_t sampleBytes)
    : tiff_(tiff), size_(size), tiled_(TIFFIsTiled(tiff) != 0), sampleBytes_(sampleBytes) {
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  planes_ = planar == PLANARCONFIG_SEPARATE ? samples : 1;
  pieceSamples_ = planar == PLANARCONFIG_SEPARATE ? 1 : samples;
  std::uint32_t width = size.width;
  std::uint32_t length = size.height;
  if (tiled_) {
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &length);
  } else {
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &length);
  }
  piece_ = {std::max(width, 1U), std::clamp(length, 1U, std::max(size.height, 1U))};
  const std::uint64_t pieceBytes =
      std::uint64_t{piece_.width} * piece_.height * pieceSamples_ * sampleBytes_;
  if (pieceBytes > maxPieceBytes) {
    damagedPicture("the TIFF file declares tiles or strips of more than 64 MB");
  }
  pieceBytes_.assign(planes_, std::vector<std::uint8_t>(static_cast<std::size_t>(pieceBytes)));
  pieceIndex_.assign(planes_, UINT32_MAX);
  const std::uint64_t rowBytes = std::uint64_t{size.width} * samples * sampleBytes;
  bandCapacity_ = static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(bandBytes / std::max<std::uint64_t>(rowBytes, 1), 1,
                                piece_.height));
  band_.resize(static_cast<std::size_t>(rowBytes * bandCapacity_));
}

bool TiffPieces::read(std::uint32_t y, std::span<std::uint8_t> row) {
  if ((y < bandFirst_ || y >= bandFirst_ + bandRows_) && !readBand(y)) {
    return false;
  }
  const std::size_t rowBytes = row.size();
  std::memcpy(row.data(), band_.data() + std::size_t{y - bandFirst_} * rowBytes, rowBytes);
  return true;
}

// Rows from `first` to the end of its piece, or as many as the band holds; every piece that
// crosses them is decoded and its samples put in their places.
bool TiffPieces::readBand(std::uint32_t first) {
  const std::uint32_t pieceTop = first / piece_.height * piece_.height;
  bandFirst_ = first;
  bandRows_ = std::min({bandCapacity_, pieceTop + piece_.height - first, size_.height - first});
  const std::size_t samples = pieceSamples_ * planes_;
  const std::size_t pixelBytes = samples * sampleBytes_;
  const std::size_t rowBytes = std::size_t{size_.width} * pixelBytes;
  for (std::uint32_t x = 0; x < size_.width; x += piece_.width) {
    const std::uint32_t across = std::min(piece_.width, size_.width - x);
    for (std::size_t plane = 0; plane < planes_; ++plane) {
      const std::uint8_t* piece = readPiece(x, pieceTop, static_cast<std::uint16_t>(plane));
      if (piece == nullptr) {
        return false;
      }
      for (std::uint32_t r = 0; r < bandRows_; ++r) {
        const std::uint8_t* in =
            piece + std::size_t{first - pieceTop + r} * piece_.width * pieceSamples_ * sampleBytes_;
        std::uint8_t* out = band_.data() + r * rowBytes + x * pixelBytes;
        if (planes_ == 1) {
          std::memcpy(out, in, across * pixelBytes);
          continue;
        }
        // One sample of each pixel from this plane.
        out += plane * sampleBytes_;
        for (std::uint32_t i = 0; i < across; ++i, in += sampleBytes_, out += pixelBytes) {
          std::memcpy(out, in, sampleBytes_);
        }
      }
    }
  }
  return true;
}

const std::uint8_t* TiffPieces::readPiece(std::uint32_t x, std::uint32_t y, std::uint16_t plane) {
  std::vector<std::uint8_t>& bytes = pieceBytes_[plane];
  const std::uint32_t index = tiled_ ? TIFFComputeTile(tiff_, x, y, 0, plane)
                                     : TIFFComputeStrip(tiff_, y, plane);
  if (index == pieceIndex_[plane]) {
    return bytes.data();
  }
  pieceIndex_[plane] = UINT32_MAX;
  const auto size = static_cast<tmsize_t>(bytes.size());
  // A last strip may hold fewer rows than the others; what it lacks is never read.
  const tmsize_t got = tiled_ ? TIFFReadEncodedTile(tiff_, index, bytes.data(), size)
                              : TIFFReadEncodedStrip(tiff_, index, bytes.data(), size);
  if (got < 0) {
    return nullptr;
  }
  pieceIndex_[plane] = index;
  return bytes.data();
}

}  // namespace karvelo::converter
