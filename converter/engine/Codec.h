// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSink.h"
#include "converter/engine/Picture.h"

#include <memory>
#include <optional>
#include <span>
#include <stdexcept>

// The seam between the run, which is the same on every platform, and a platform's codecs. A codec
// only turns encoded bytes into rows of pixels and back: the headers, the limits, the metadata,
// the resizing, the orientation and the writing of the file are shared code above it.
namespace karvelo::converter {

// How a frame of an animation shows. Frames are delivered and written composed onto the whole
// screen, as a viewer shows them, so the disposal method is kept as it was: on whole frames it
// clears at least what the source's cleared (see FrameCanvas.h).
struct FrameTiming {
  std::uint32_t delayMs = 0;  // how long the frame shows
  int disposal = 0;           // a GIF frame's disposal method (0 to 3)
};

// The rows a decoder delivers once started, for the first frame or page, and again for each
// frame or page that follows.
struct DecodedRows {
  PixelSize size;  // pixels in a row, and rows
  ColorModel model = ColorModel::Rgb;
  // The decoded size over the stored size, across and down: below 1 after a reduced decode. The
  // last row and column of a reduced decode may reach past the stored picture's edge (a JPEG of
  // 1199 rows decoded at 1/2 gives 600 rows, the last half padding), so the result is mapped onto
  // the stored size times this scale, not onto the decoded size.
  double scaleX = 1.0;
  double scaleY = 1.0;
  EncodingHints hints;
  // 8, or 16 for a PNG or TIFF of 16-bit samples, in the machine's byte order: rows hold width
  // times channels samples of this width.
  int bitsPerSample = 8;
  FrameTiming timing{};
  // How often an animation plays, as its format stores it (0: forever); none for a GIF without
  // a loop extension, which plays once. Given with the first frame.
  std::optional<std::uint32_t> loops{};
  // A later TIFF page's own orientation (1 to 8); 0 where the picture's holds.
  int orientation = 0;
};

// Reads one picture, row by row, so that nothing source-sized needs to be held.
class Decoder {
 public:
  virtual ~Decoder() = default;

  // Reads up to the first row. A decoder that can decode at a reduced scale (a JPEG's scaled
  // inverse DCT) may pick one, but never one that gives fewer pixels than `atLeast` on either side
  // (both as stored). Throws ConversionError: DamagedPicture for a damaged or truncated file,
  // UnsupportedFormat for a kind of picture the codec cannot read.
  virtual DecodedRows start(PixelSize atLeast) = 0;

  // Fills `row` (width times channels samples) with the next row, top to bottom as stored; called
  // once for each row. Throws ConversionError(DamagedPicture) when the data ends or is corrupt.
  virtual void readRow(std::span<std::uint8_t> row) = 0;

  // After the last row of a frame or page: moves on to the next one, never reduced, or returns
  // nothing when none follows. A still picture has none.
  virtual std::optional<DecodedRows> nextFrame() { return std::nullopt; }
};

// The result that an encoder writes.
struct EncodedRows {
  PixelSize size;
  ColorModel model = ColorModel::Rgb;  // the model that this format's decoder delivered
  EncodingHints hints;
  int bitsPerSample = 8;  // as this format's decoder delivered
  FrameTiming timing{};
  // Frames or pages that the source's headers count (1 for a still picture), and how often an
  // animation plays, as the decoder gave them.
  std::uint32_t frames = 1;
  std::optional<std::uint32_t> loops{};
  // The result's metadata, for the formats whose encoder stores it itself (HEIF and AVIF, whose
  // items and properties are bound together by offsets that only the encoder lays out); null
  // where the bytes are completed by shared code.
  const Metadata* metadata = nullptr;
};

// Writes one picture, row by row, into a sink. It writes pixels only: the ICC profile and the
// EXIF data are added to the encoded bytes by shared code, except for HEIF and AVIF (see
// EncodedRows::metadata).
class Encoder {
 public:
  virtual ~Encoder() = default;

  // Begins the file. The sink outlives the encoder; an encoder destroyed without `finish` may
  // leave anything in it, since the run then discards the file.
  virtual void start(const EncodedRows& result, ByteSink& sink) = 0;
  // The next row, top to bottom.
  virtual void writeRow(std::span<const std::uint8_t> row) = 0;
  // After the last row of a frame or page, begins the next one: an animation's frames all have
  // the first one's size and model, a TIFF's pages each their own. Only the encoders of formats
  // that hold several (GIF, WebP, TIFF) are given more than one.
  virtual void nextFrame(const EncodedRows&) {
    throw std::logic_error("this format holds a single picture");
  }
  // Completes the file after the last row.
  virtual void finish() = 0;
};

// One platform's codecs.
class Codecs {
 public:
  virtual ~Codecs() = default;

  // Throws ConversionError(UnsupportedFormat) for a format the platform cannot read. The source
  // outlives the decoder.
  virtual std::unique_ptr<Decoder> decoder(PictureFormat format,
                                           const ByteSource& source) const = 0;

  // Throws ConversionError(UnsupportedFormat) for a format the platform cannot write.
  virtual std::unique_ptr<Encoder> encoder(PictureFormat format) const = 0;
};

// The codecs of the platform that multiconv is built for, defined by the codec library it links:
// Debian's codec libraries on Linux, the Windows Imaging Component on Windows.
const Codecs& platformCodecs();

}  // namespace karvelo::converter
