// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSource.h"
#include "converter/engine/Picture.h"

#include <optional>
#include <span>

// What a picture's headers say, read from the file's bytes before any pixel is decoded: the same
// code on every platform, whatever codec decodes the pixels afterwards.
namespace karvelo::converter {

struct PictureHeaders {
  PixelSize size;  // as stored
  Metadata metadata;
  // What the headers show of the encoding: a JPEG's chroma sampling, a TIFF's compression. For
  // codecs that do not report it themselves.
  EncodingHints hints;
  // An animation's frames (each as large as the screen) or a TIFF's pages, and their pixels
  // together; 0 for a still picture's, which are its size's.
  std::uint32_t frames = 1;
  std::uint64_t allPixels = 0;
};

// How many of a file's first bytes detectFormat reads: a HEIF file names its kind among the
// brands of its first box.
inline constexpr std::size_t formatHeadBytes = 64;

// The format that a file's first bytes announce.
std::optional<PictureFormat> detectFormat(std::span<const std::uint8_t> head);

// Reads the stored size, the orientation, the ICC profile, the EXIF data and the blocks carried
// unread (XMP, IPTC, comments, descriptive tags), leaving out any of these that is damaged. Throws
// ConversionError: DamagedPicture when the headers are cut short or declare more pixels than the
// file's bytes could hold, UnsupportedFormat for a kind of picture that is not converted
// (BigTIFF), PictureTooLarge above the 500-megapixel limit, for all frames or pages together too.
PictureHeaders readHeaders(PictureFormat format, const ByteSource& source);

// Whether an ICC profile can describe pixels of the given model: a CMYK profile only CMYK pixels,
// an RGB or gray profile only other pixels (a CMYK picture that a decoder turned into RGB loses its
// profile). A profile of another or unknown space is kept.
bool profileFits(std::span<const std::uint8_t> icc, ColorModel model);

// The largest side, in pixels, that the format can store.
std::uint32_t maxSide(PictureFormat format);

}  // namespace karvelo::converter
