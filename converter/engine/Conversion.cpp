// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/Conversion.h"

#include "converter/core/ConversionError.h"
#include "converter/core/ExifBlock.h"
#include "converter/core/OutputNaming.h"
#include "converter/core/TargetSize.h"
#include "converter/core/XmpPacket.h"
#include "converter/engine/Orientation.h"
#include "converter/engine/Resampler.h"
#include "converter/engine/SafeOutput.h"
#include "converter/engine/SourceFile.h"
#include "converter/metadata/Headers.h"
#include "converter/metadata/MetadataWriter.h"
#include "converter/platform/ConversionSlot.h"
#include "converter/platform/FileAccess.h"
#include "converter/platform/Process.h"

#include <algorithm>
#include <optional>

namespace karvelo::converter {

namespace {

void checkNames(const std::string& finalPath, const ConverterOptions& options) {
  if (!options.overwrite && pathExists(finalPath)) {
    outputExists(finalPath);
  }
  if (!isFolder(options.destFolder)) {
    throw ConversionError(ExitCode::WriteFailure,
                          "the destination folder \"" + options.destFolder + "\" does not exist");
  }
}

PictureFormat formatOf(const SourceFile& source) {
  if (source.size() == 0) {
    throw ConversionError(ExitCode::UnsupportedFormat, "\"" + source.path() + "\" is empty");
  }
  const std::optional<PictureFormat> format = detectFormat(source.read(0, formatHeadBytes));
  if (!format) {
    throw ConversionError(
        ExitCode::UnsupportedFormat,
        "\"" + source.path() + "\" is not a JPEG, PNG, WebP, BMP, GIF, TIFF, HEIF or AVIF picture");
  }
  return *format;
}

void checkFormatLimit(PixelSize result, PictureFormat format) {
  if (std::max(result.width, result.height) > maxSide(format)) {
    throw ConversionError(ExitCode::PictureTooLarge, "the result is too large for its format (" +
                                                         std::to_string(result.width) + " x " +
                                                         std::to_string(result.height) +
                                                         " pixels)");
  }
}

// The smallest stored size a reduced decode may give: the result's own size. A JPEG is then
// decoded at the largest reduction of its inverse DCT that keeps at least that size, and the
// Lanczos filter only covers the rest. (Decoding at twice the size and filtering down the other
// half was measured too: 0.1 dB closer to a full Lanczos-3 resize, at five times the cost.)
PixelSize decodeAtLeast(PixelSize stored, int orientation, PixelSize target) {
  const PixelSize wanted = uprightSize(target, orientation);  // turning is its own inverse in size
  return {std::min(wanted.width, stored.width), std::min(wanted.height, stored.height)};
}

// The part of the decoded rows that the stored picture covers.
SourceArea coveredArea(PixelSize stored, const DecodedRows& rows) {
  return {std::min<double>(stored.width * rows.scaleX, rows.size.width),
          std::min<double>(stored.height * rows.scaleY, rows.size.height)};
}

// The source's metadata as the result carries it: upright, with its new size, without a
// thumbnail that would now stand the wrong way, and without a profile of another colour model.
Metadata resultMetadata(Metadata metadata, PixelSize result, ColorModel model) {
  if (!metadata.exif.empty()) {
    ExifBlock exif(std::move(metadata.exif));
    if (metadata.orientation != 1) {
      exif.dropThumbnail();
    }
    exif.resetOrientation();
    exif.setPixelDimensions(result.width, result.height);
    metadata.exif = exif.bytes();
  }
  // XMP repeats both, and is corrected alike. (Extended XMP is kept as it is: its checksum, which
  // the main packet names, would no longer match.)
  if (!metadata.xmp.empty()) {
    setXmpNumber(metadata.xmp, "tiff:Orientation", 1);
    setXmpNumber(metadata.xmp, "exif:PixelXDimension", result.width);
    setXmpNumber(metadata.xmp, "exif:PixelYDimension", result.height);
    setXmpNumber(metadata.xmp, "tiff:ImageWidth", result.width);
    setXmpNumber(metadata.xmp, "tiff:ImageLength", result.height);
  }
  if (!profileFits(metadata.icc, model)) {
    metadata.icc.clear();
  }
  metadata.orientation = 1;
  return metadata;
}

}  // namespace

void convert(const ConverterOptions& options, const Codecs& codecs) {
  const std::string finalPath = outputPath(options);
  checkNames(finalPath, options);

  // A converter that waits for its slot has read nothing and allocated nothing yet, so that
  // thousands of them started at once hold little more than their processes.
  const ConversionSlot slot = ConversionSlot::acquire();
  dieHereForTests(options.source);
  SourceFile source(options.source);
  std::optional<OutputFile> file;
  convertPicture(source, formatOf(source), options, codecs,
                 [&]() -> ByteSink& { return file.emplace(finalPath, options.overwrite); });
  // Windows cannot put a file in place of one that is open, and with /o the source is that file.
  source.close();
  file->commit();
}

void convertPicture(const ByteSource& source, PictureFormat format, const ConverterOptions& options,
                    const Codecs& codecs, const std::function<ByteSink&()>& openResult) {
  const PictureHeaders headers = readHeaders(format, source);
  const int orientation = headers.metadata.orientation;
  const PixelSize target = targetSize(uprightSize(headers.size, orientation), options);
  checkFormatLimit(target, format);

  const std::unique_ptr<Decoder> decoder = codecs.decoder(format, source);
  const DecodedRows rows = decoder->start(decodeAtLeast(headers.size, orientation, target));
  ByteSink& file = openResult();
  const Metadata metadata = resultMetadata(headers.metadata, target, rows.model);
  const std::unique_ptr<MetadataWriter> sink = metadataWriter(format, file, metadata);
  const std::unique_ptr<Encoder> encoder = codecs.encoder(format);
  encoder->start({target, rows.model, rows.hints, rows.bitsPerSample, &metadata}, *sink);

  // Decoded rows flow through the resampler and the turn into the encoder, a row at a time, with
  // samples as wide as decoded.
  UprightRows upright(
      uprightSize(target, orientation), rows.model, orientation,
      [&](std::span<const std::uint8_t> row) { encoder->writeRow(row); },
      RowStore::defaultMemoryLimit, rows.bitsPerSample);
  Resampler resampler(
      rows.size, coveredArea(headers.size, rows), uprightSize(target, orientation), rows.model,
      [&](std::span<const std::uint8_t> row) { upright.push(row); }, rows.bitsPerSample);
  std::vector<std::uint8_t> row(std::size_t{rows.size.width} * channelsOf(rows.model) *
                                (rows.bitsPerSample / 8));
  for (std::uint32_t y = 0; y < rows.size.height; ++y) {
    decoder->readRow(row);
    resampler.push(row);
  }
  upright.finish();
  encoder->finish();
  sink->finish();
}

}  // namespace karvelo::converter
