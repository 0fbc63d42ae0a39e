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

// The smallest stored size a reduced decode may give: one pixel more than the result on each
// side that shrinks. A reduced decode (a JPEG's scaled inverse DCT) filters far more softly than
// the Lanczos filter, so it may take the largest share of the reduction but never all of it: a
// JPEG to half is decoded whole, one to a quarter at 1/2, and the filter does the rest. Against a
// Lanczos-3 resize of the full decode, a screenshot with text decoded at exactly half the size
// gave 29 dB, at 5/8 35 dB, whole 41 dB. Where a reduction already leaves part of the work to
// the filter (4000 pixels to 300 wide decode at 1/8, to 500) it stays: decoding at twice the
// result's size there gained 0.05 dB for twice the time.
PixelSize decodeAtLeast(PixelSize stored, int orientation, PixelSize target) {
  const PixelSize wanted = uprightSize(target, orientation);  // turning is its own inverse in size
  return {std::min(wanted.width + 1, stored.width), std::min(wanted.height + 1, stored.height)};
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

// Decodes one frame or page, resizes it, turns it upright and encodes it, a row at a time, with
// samples as wide as decoded.
void resizeFrame(Decoder& decoder, const DecodedRows& rows, SourceArea covered, PixelSize target,
                 int orientation, Encoder& encoder) {
  UprightRows upright(
      uprightSize(target, orientation), rows.model, orientation,
      [&](std::span<const std::uint8_t> row) { encoder.writeRow(row); },
      RowStore::defaultMemoryLimit, rows.bitsPerSample);
  Resampler resampler(
      rows.size, covered, uprightSize(target, orientation), rows.model,
      [&](std::span<const std::uint8_t> row) { upright.push(row); }, rows.bitsPerSample);
  std::vector<std::uint8_t> row(std::size_t{rows.size.width} * channelsOf(rows.model) *
                                (rows.bitsPerSample / 8));
  for (std::uint32_t y = 0; y < rows.size.height; ++y) {
    decoder.readRow(row);
    resampler.push(row);
  }
  upright.finish();
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
  PixelSize target = targetSize(uprightSize(headers.size, orientation), options);
  checkFormatLimit(target, format);
  // All frames or pages of the result, as far as the headers tell: each in the first's proportion.
  checkAllFrames(static_cast<std::uint64_t>(static_cast<double>(target.area()) *
                                            static_cast<double>(headers.allPixels) /
                                            static_cast<double>(headers.size.area())),
                 headers.frames, "result");

  const std::unique_ptr<Decoder> decoder = codecs.decoder(format, source);
  DecodedRows rows = decoder->start(decodeAtLeast(headers.size, orientation, target));
  ByteSink& file = openResult();
  const Metadata metadata = resultMetadata(headers.metadata, target, rows.model);
  const std::unique_ptr<MetadataWriter> sink = metadataWriter(format, file, metadata);
  const std::unique_ptr<Encoder> encoder = codecs.encoder(format);
  EncodedRows result{target,      rows.model,     rows.hints, rows.bitsPerSample,
                     rows.timing, headers.frames, rows.loops, &metadata};
  encoder->start(result, *sink);
  resizeFrame(*decoder, rows, coveredArea(headers.size, rows), target, orientation, *encoder);

  // Further frames or pages, each as decoded (never reduced): an animation's frames all have the
  // screen's size, a TIFF's pages each their own size and orientation. Whatever the headers
  // counted, the pixels decoded and written stay within the limit for all frames together.
  std::uint32_t frames = 1;
  std::uint64_t sourcePixels = headers.size.area();
  std::uint64_t resultPixels = target.area();
  while (std::optional<DecodedRows> next = decoder->nextFrame()) {
    rows = *next;
    checkSourceSize(rows.size);
    const int turn = rows.orientation != 0 ? rows.orientation : orientation;
    target = targetSize(uprightSize(rows.size, turn), options);
    checkFormatLimit(target, format);
    ++frames;
    checkAllFrames(sourcePixels += rows.size.area(), frames);
    checkAllFrames(resultPixels += target.area(), frames, "result");
    result = {target,      rows.model,     rows.hints,  rows.bitsPerSample,
              rows.timing, headers.frames, result.loops};
    encoder->nextFrame(result);
    resizeFrame(*decoder, rows, coveredArea(rows.size, rows), target, turn, *encoder);
  }
  encoder->finish();
  sink->finish();
}

}  // namespace karvelo::converter
