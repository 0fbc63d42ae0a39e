// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/WholePicture.h"

#include "converter/core/ConversionError.h"
#include "converter/metadata/Headers.h"
#include "converter/metadata/MetadataWriter.h"

namespace karvelo::converter {

Picture decodePicture(const Codecs& codecs, const ByteSource& source) {
  const std::optional<PictureFormat> format = detectFormat(source.read(0, formatHeadBytes));
  if (!format) {
    throw ConversionError(ExitCode::UnsupportedFormat, "not a picture");
  }
  const PictureHeaders headers = readHeaders(*format, source);
  const std::unique_ptr<Decoder> decoder = codecs.decoder(*format, source);
  const DecodedRows rows = decoder->start(headers.size);
  Picture picture{Image::blank(rows.size, rows.model, rows.bitsPerSample), headers.metadata,
                  rows.hints};
  for (std::uint32_t y = 0; y < rows.size.height; ++y) {
    decoder->readRow(std::span(picture.image.pixels)
                         .subspan(y * picture.image.rowBytes(), picture.image.rowBytes()));
  }
  return picture;
}

std::vector<std::uint8_t> encodePicture(const Codecs& codecs, PictureFormat format,
                                        const Picture& picture) {
  MemorySink file;
  const std::unique_ptr<MetadataWriter> sink = metadataWriter(format, file, picture.metadata);
  const std::unique_ptr<Encoder> encoder = codecs.encoder(format);
  const Image& image = picture.image;
  encoder->start({.size = image.size,
                  .model = image.model,
                  .hints = picture.hints,
                  .bitsPerSample = image.bitsPerSample,
                  .metadata = &picture.metadata},
                 *sink);
  for (std::uint32_t y = 0; y < image.size.height; ++y) {
    encoder->writeRow(std::span(image.pixels).subspan(y * image.rowBytes(), image.rowBytes()));
  }
  encoder->finish();
  sink->finish();
  return file.take();
}

}  // namespace karvelo::converter
